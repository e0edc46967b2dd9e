"""Bytes on the wire: response heads, the chunked encoding, request heads,
and bodies whose every misplaced byte shows."""
import random
import socket

CHUNKED = "Transfer-Encoding: chunked"


def head(*lines, status="HTTP/1.1 200 OK"):
    """A response head: the status line, the given header lines, the empty line."""
    return (status + "\r\n" + "".join(line + "\r\n" for line in lines) + "\r\n").encode()


def chunk(data):
    """One chunk of the chunked encoding: size line, data, line end."""
    return b"%x\r\n" % len(data) + data + b"\r\n"


def chunked(body, piece=300):
    """The whole body in chunks of piece bytes, with the last (empty) chunk."""
    return b"".join(chunk(body[at:at + piece]) for at in range(0, len(body), piece)) + b"0\r\n\r\n"


def read_head(conn, limit=64 * 1024, timeout=10.0):
    """Reads from conn until the empty line that ends a request head.

    Returns everything read (bytes that came with the head in the same
    piece are kept), or None when the peer closed, failed or went past
    limit bytes or timeout seconds without ending its head."""
    conn.settimeout(timeout)
    data = b""
    while b"\r\n\r\n" not in data:
        if len(data) > limit:
            return None
        try:
            piece = conn.recv(4096)
        except (OSError, socket.timeout):
            return None
        if not piece:
            return None
        data += piece
    return data


def pattern_bytes(size, seed=0):
    """Bytes that show any lost, doubled or moved piece (not a repeated block)."""
    return random.Random(seed).randbytes(size)


def garbage(size, seed):
    """Binary noise with no digit in it, so no status can appear by chance."""
    data = random.Random(seed).randbytes(size)
    return bytes(b if not 0x30 <= b <= 0x39 else 0x2A for b in data)

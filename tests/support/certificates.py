"""Certificates made by the tests themselves with openssl: a private
certification authority, server certificates it issues with chosen names,
dates and usages, and the revocation list that names the ones it revoked.

    with CertificateAuthority("Gatherly Test CA") as ca:
        site = ca.issue("good", names=["localhost"])
        site.chain, site.key            # files for a server
        ca.der                          # the root, to be trusted in a prefix

Nothing here touches any trust store: a test trusts the authority inside
its Wine prefix alone (WineSession.trusting).
"""
import secrets
import shutil
import subprocess
import tempfile
from dataclasses import dataclass
from pathlib import Path

# Dates outside the present, as openssl ca takes them (UTCTime).
LONG_AGO = ("200101000000Z", "210101000000Z")
YEARS_AHEAD = ("400101000000Z", "410101000000Z")

SERVER_AUTH = "serverAuth"
CLIENT_AUTH = "clientAuth"


@dataclass
class Site:
    """A server's certificate: the leaf, its key, and the chain a server
    sends (the leaf and the authority's certificate, or the leaf alone)."""
    name: str
    certificate: Path
    key: Path
    chain: Path
    leaf_only: Path


def _openssl(*args, cwd=None):
    done = subprocess.run(["openssl", *map(str, args)], cwd=cwd, capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError(f"openssl {' '.join(map(str, args[:2]))} failed: {done.stderr.strip()[-800:]}")
    return done.stdout


class CertificateAuthority:
    """A root authority in a folder of its own, with openssl ca's database,
    so that each certificate can carry any dates; removed on close."""

    def __init__(self, common_name, folder=None):
        self._own = folder is None
        self.folder = Path(folder or tempfile.mkdtemp(prefix="gx-ca-"))
        self.key = self.folder / "ca.key"
        self.certificate = self.folder / "ca.pem"
        (self.folder / "index.txt").write_text("")
        # Serials of their own: Wine keeps what it learnt of a certificate's
        # revocation by serial number alone, across processes and runs, so a
        # serial that another authority of an earlier run used would meet
        # that one's answer.
        (self.folder / "serial").write_text(secrets.token_hex(8).upper() + "\n")
        (self.folder / "crlnumber").write_text("1000\n")
        self.config = self.folder / "ca.cnf"
        self.config.write_text(f"""
[ca]
default_ca = this
[this]
dir = {self.folder}
database = $dir/index.txt
serial = $dir/serial
crlnumber = $dir/crlnumber
new_certs_dir = $dir
certificate = {self.certificate}
private_key = {self.key}
default_md = sha256
default_days = 30
default_crl_days = 30
policy = anything
unique_subject = no
copy_extensions = none
[anything]
commonName = supplied
""")
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", self.key, "-out", self.certificate,
                 "-days", "30", "-subj", f"/CN={common_name}",
                 "-addext", "basicConstraints=critical,CA:true",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        self.der = _openssl_der(self.certificate)
        self._count = 0

    def issue(self, name, names=("localhost",), dates=None, usage=SERVER_AUTH, crl_url=None, addresses=()):
        """A leaf for the DNS names (the first is its common name) and the IP
        addresses, valid now unless dates (start, end) say otherwise."""
        self._count += 1
        base = self.folder / f"{self._count:02d}-{name}"
        key, request, certificate = base.with_suffix(".key"), base.with_suffix(".csr"), base.with_suffix(".pem")
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request,
                 "-subj", f"/CN={names[0]}")
        extensions = base.with_suffix(".ext")
        lines = ["basicConstraints=critical,CA:false", "keyUsage=critical,digitalSignature,keyEncipherment",
                 f"extendedKeyUsage={usage}",
                 "subjectAltName=" + ",".join([f"DNS:{n}" for n in names] + [f"IP:{a}" for a in addresses])]
        if crl_url:
            lines.append(f"crlDistributionPoints=URI:{crl_url}")
        extensions.write_text("[leaf]\n" + "\n".join(lines) + "\n")
        dated = ["-startdate", dates[0], "-enddate", dates[1]] if dates else []
        _openssl("ca", "-batch", "-config", self.config, "-in", request, "-out", certificate, "-notext",
                 "-extfile", extensions, "-extensions", "leaf", *dated)
        return self._site(name, certificate, key)

    def revoke(self, site):
        _openssl("ca", "-batch", "-config", self.config, "-revoke", site.certificate)

    def revocation_list(self, path):
        """Writes the authority's current revocation list (DER) to path."""
        pem = Path(str(path) + ".pem")
        _openssl("ca", "-batch", "-config", self.config, "-gencrl", "-out", pem)
        _openssl("crl", "-in", pem, "-outform", "DER", "-out", path)
        pem.unlink()

    def _site(self, name, certificate, key):
        chain = certificate.with_suffix(".chain.pem")
        chain.write_bytes(certificate.read_bytes() + self.certificate.read_bytes())
        return Site(name, certificate, key, chain, certificate)

    def close(self):
        if self._own:
            shutil.rmtree(self.folder, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def self_signed(folder, name, names=("localhost",)):
    """A leaf that signs itself: no authority vouches for it."""
    folder = Path(folder)
    key, certificate = folder / f"{name}.key", folder / f"{name}.pem"
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", certificate, "-days", "30",
             "-subj", f"/CN={names[0]}", "-addext", "subjectAltName=" + ",".join(f"DNS:{n}" for n in names),
             "-addext", f"extendedKeyUsage={SERVER_AUTH}")
    return Site(name, certificate, key, certificate, certificate)


def _openssl_der(pem):
    done = subprocess.run(["openssl", "x509", "-in", str(pem), "-outform", "DER"], capture_output=True)
    if done.returncode != 0:
        raise RuntimeError(f"openssl x509 failed: {done.stderr.decode(errors='replace')[-400:]}")
    return done.stdout

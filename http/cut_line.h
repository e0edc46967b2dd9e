#pragma once
// Cutting one line off a received block, in place. Plain C++, no platform.

// position points into a block whose received bytes end at end (the text
// counts as if a NUL followed the last byte). Lines end as http/line_end.h
// says; the CR that ends the line is overwritten with a NUL. Returns the
// start of the next line (past the whole line end); end when the block
// ends before any CR (a valid, empty next line); null when the text at
// position is already empty.
char* cut_line(char* position, char* end);

#pragma once
// Cutting one line off a received block, in place. Plain C++, no platform.

// position points into a block whose received bytes end at end (the text
// counts as if a NUL followed the last byte). Only a CR ends a line: it is
// overwritten with a NUL and one LF directly after it is stepped over; a bare
// LF stays in the line. Returns the start of the next line; end when the
// block ends before any CR (a valid, empty next line); null when the text at
// position is already empty.
char* cut_line(char* position, char* end);

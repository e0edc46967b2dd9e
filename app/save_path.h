#pragma once
// Where "Browse" proposes to save: the chosen folder followed by the URL's
// path, its "/" turned into "\".
#include "base/text.h"

// folder ends in "\" (the requester's answer); url_path is the URL's path
// part (text after the host's "/", up to any "?"). Every segment of the path
// lands inside folder: "." and ".." segments are dropped, device names get a
// leading "_" and ":" becomes "_". The fragment is kept and an empty path
// gives the folder alone.
Text compose_save_path(TextRef folder, TextRef url_path);

#pragma once
// The modal folder requester.
#include "base/text.h"

void init_requesters();
// The chosen folder ending in "\", or empty when cancelled.
Text request_folder(TextRef title, TextRef initial_folder);

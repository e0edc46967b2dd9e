#pragma once
#include "base/text.h"

// One named part of a URL ("/WS/", "/PO/", "/US/", "/PS/", "/PM/", "/AN/",
// "/PT/", or the name of a query parameter); empty when absent.
Text extract_url_part(TextRef url, TextRef key);

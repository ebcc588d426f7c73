#pragma once

#include "pdf/engine/PDFEngine.h"

namespace scrivola {

// Turns the free-text annotations the system wrote ("/ScrivolaUL" or "/ScrivolaST" present) on
// `page` back into text boxes. The engine's annotation objects are kept as they are (name,
// dates, author, flags, popups, replies and order on the page survive); only the two flags are
// normalised to booleans (an absent one reads as false) and a box without an appearance stream
// gets one. A page without annotations is skipped without listing them. Returns the number of
// text boxes found.
int restoreTextBoxes(PDFPage& page);

// Restores the text boxes of each page of `document` when the page is first used (its
// annotations listed, the page drawn, changed or copied) rather than visiting every page at
// opening. A page never used keeps its objects exactly as the file has them.
void restoreTextBoxesOnFirstUse(PDFDocument& document);

}  // namespace scrivola

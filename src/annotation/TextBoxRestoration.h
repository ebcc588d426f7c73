#pragma once

#include "pdf/engine/PDFEngine.h"

namespace scrivola {

// Turns the free-text annotations the system wrote ("/ScrivolaUL" or "/ScrivolaST" present)
// back into text boxes after opening. The engine's annotation objects are kept as they are
// (name, dates, author, flags, popups, replies and order on the page survive); only the two
// flags are normalised to booleans (an absent one reads as false) and a box without an
// appearance stream gets one. Pages without annotations are skipped without loading their
// annotation lists. Returns the number of text boxes found.
int restoreTextBoxes(PDFDocument& document);

}  // namespace scrivola

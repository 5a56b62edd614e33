#pragma once
// Which file names the loader lists, and the order it shows them in.

#include <string>
#include <vector>

struct ImageItem;

// True when the name's extension (the text from its last ".") is ".jpg" or
// ".jpeg" in any case. Bytes are compared, so a name that is not valid UTF-8
// is judged by its ASCII extension all the same.
bool HasJpegExtension(const std::string& name);

// Orders the items by name without regard to case. The names are decoded
// from UTF-8 (an invalid byte reads as U+FFFD) and compared after Unicode case
// folding; names that compare equal keep their order, so A.jpg and a.jpg stay
// as they were listed. O(n log n).
void SortByName(std::vector<ImageItem*>& items);

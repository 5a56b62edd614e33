#pragma once
// One JPEG file of the current folder's list.
//
// Ownership: allocated and freed by CImageList, which links the items into
// the loader's list. Thread rules: the links, the name and the identifier change only
// while both workers are stopped (the one exception, CThumbLoader::
// CompleteFolder, only relinks while the thumbnail worker has not started);
// the workers read them without a lock. The events carry completion from the
// workers to the user-interface thread, which tests them without waiting.

#include <atomic>
#include <cstdint>
#include <string>

#include "browse/folder_listing.h"
#include "browse/shell_pidl.h"
#include "loader/item_decoder.h"
#include "loader/item_event.h"

struct ImageItem {
    ImageItem* previous = nullptr;  // null at the ends
    ImageItem* next = nullptr;
    int index = 0;         // place in the list, from 0; kept with the links
    std::string name;      // shown name (valid UTF-8 from a listing); the sort key
    CShellPidl itemId;     // one-item list inside the loader's folder: the file's identity
    CItemDecoder decoder;  // display image, thumbnail and file information
    // The file's size and modification time when it was listed: a file found
    // with others later was rewritten behind the list's back.
    FileStamp stamp;

    // Set as soon as the display image exists at its final size; its rows
    // are decoded after that.
    CItemEvent displayReady;
    // Set when the display worker is done with the item: its rows are all
    // decoded, or the file could not be opened (displayReady then stays
    // clear). Cleared together with displayReady.
    CItemEvent displayDone;
    // Set when the thumbnail is made.
    CItemEvent thumbnailReady;
    // The bytes of pixels the made thumbnail holds; written before
    // thumbnailReady is set, read by whoever sees it set.
    int64_t thumbnailBytes = 0;
    // The thumbnail could not be made in this run of the thumbnail worker; the
    // worker does not try again until thumbnails are started again.
    std::atomic<bool> thumbnailFailed {false};
    // The date-taken sort key once read (see SortItems), so that sorting
    // again reads no file; INT64_MIN until then. An item's file does not
    // change: a file rewritten under it gets a new item. User-interface
    // thread only.
    int64_t dateTakenKey = INT64_MIN;
};

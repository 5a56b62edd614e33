#include "browse/file_trash.h"

bool MoveToTrash(const std::string&, std::string* error)
{
    if (error)
        *error = "not available yet";
    return false;
}

std::string HomeTrashDirectory() { return {}; }

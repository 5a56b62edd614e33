#pragma once
// The program's texts, kept verbatim in one table and looked up by number.

namespace res {

// Numbers of the texts the code asks for by name.
enum StringId : int {
    kStrProgId = 17,            // "Lumvane.1"
    kStrProgName = 18,          // "Lumvane"
    kStrSeconds = 19,           // "seconds"
    kStrAboutCaption = 20,      // "About Lumvane"
    kStrNewFolder = 21,         // "New Folder"
    kStrCantCreateFolder = 22,  // "Can't create folder"
    kStrRenameExtension = 23,   // the rename-extension question
    kStrConfirmDrop = 24,       // "Do you want to %s %i item(s) to %s?"
    kStrMove = 25,              // "move"
    kStrCopy = 26,              // "copy"
    kStrCantOpenFolder = 60,    // "Can't open this folder: %s"
    kStrDocumentation = 61,     // "Documentation"
    kStrReportProblem = 62,     // "Report a problem"
    kStrAppTitle = 57344,       // "Lumvane"
    kStrTag = 57345,            // "Tag"
    kStrValue = 57346,          // "Value"
};

// The text of a number; an empty text for an unknown number.
const char* String(int id);

}  // namespace res

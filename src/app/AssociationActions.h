#pragma once
// The file-association dialog's command (menu item N38): the boxes show the store when the
// dialog is activated, and the store takes the boxes when it closes.
#include <string>

#include "io/FileAssociations.h"

namespace tarvik::dialogs {
class TfmFileAssoc;
}

namespace tarvik::app {

// Shows `dialog` modally over `store`; when it closes, applies its boxes with the class
// tree pointing at `executablePath`.
void runFileAssociations(dialogs::TfmFileAssoc& dialog, io::AssociationStore& store,
                         const std::string& executablePath);

}  // namespace tarvik::app

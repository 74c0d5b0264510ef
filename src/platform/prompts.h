#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorvan {

enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Cancel, Yes, No };

// What a file dialog is asked to offer.
struct FileDialogRequest {
    std::string caption;
    std::string folder;         // where it opens
    std::string defaultName;    // the name it proposes (save) or selects (open)
    std::string defaultSuffix;  // added to a name typed without one, e.g. "xml"
    std::string filter;         // written the Qt way: "XML Campaign Files (*.xml)"
    bool confirmOverwrite = true;  // save: ask before an existing file is replaced
    bool operator==(const FileDialogRequest&) const = default;
};

// Every message box, question, file and folder dialog and popup menu of the
// program goes through here, so that tests can answer them. A dialog the
// user cancels answers nothing.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual PromptAnswer messageBox(const std::string& caption, const std::string& text, PromptIcon icon,
                                    PromptButtons buttons) = 0;
    virtual std::optional<std::string> saveFile(const FileDialogRequest&) { return std::nullopt; }
    virtual std::optional<std::string> openFile(const FileDialogRequest&) { return std::nullopt; }
    // The folder chooser, captioned "Select folder".
    virtual std::optional<std::string> chooseFolder(const std::string& start) {
        static_cast<void>(start);
        return std::nullopt;
    }
    // A popup menu at the pointer: the index of the item chosen.
    virtual std::optional<int> popupMenu(const std::vector<std::string>& items) {
        static_cast<void>(items);
        return std::nullopt;
    }
};

}  // namespace zorvan

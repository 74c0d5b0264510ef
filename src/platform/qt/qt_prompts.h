#pragma once

#include "platform/prompts.h"

class QWidget;

namespace zorvan {

// Message boxes with the given caption, text, icon and buttons. Boxes are
// shown on the user-interface thread: from another thread a box with only
// an OK button is queued there and the caller goes on (it must not wait for
// a user-interface thread that may be waiting for it); a question blocks the
// caller until it is answered.
class QtPrompts final : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    PromptAnswer messageBox(const std::string& caption, const std::string& text, PromptIcon icon,
                            PromptButtons buttons) override;
    // The dialogs and menus below run on the user-interface thread only.
    std::optional<std::string> saveFile(const FileDialogRequest& request) override;
    std::optional<std::string> openFile(const FileDialogRequest& request) override;
    std::optional<std::string> chooseFolder(const std::string& start) override;
    std::optional<int> popupMenu(const std::vector<std::string>& items) override;

private:
    PromptAnswer show(const std::string& caption, const std::string& text, PromptIcon icon, PromptButtons buttons);
    std::optional<std::string> fileDialog(const FileDialogRequest& request, bool save);

    QWidget* parent_;
};

}  // namespace zorvan

#pragma once

#include <QString>

class QAction;
class QGroupBox;
class QLabel;
class QProgressBar;
class QMainWindow;
class QMenu;
class QPushButton;
class QWidget;

namespace zorvan::ui {

class ClickableLabel;

// Command ids of the main window's menus and buttons.
namespace cmd {
inline constexpr int kNewCampaign = 32772;
inline constexpr int kInsertContact = 32773;
inline constexpr int kRemoveCampaign = 32776;
inline constexpr int kImportCampaign = 32777;
inline constexpr int kImportCsv = 32778;
inline constexpr int kExportCampaign = 32779;
inline constexpr int kExportCsv = 32780;
inline constexpr int kOptions = 32781;
inline constexpr int kSilentMode = 32782;
inline constexpr int kOnlineHelp = 32783;
inline constexpr int kAbout = 32784;
inline constexpr int kExit = 32785;
inline constexpr int kWebReport = 32786;
inline constexpr int kCsvReport = 32787;
inline constexpr int kClearStatus = 32788;
inline constexpr int kCustomizeColumns = 32789;
inline constexpr int kTrayExit = 32771;
// The New... button's "Insert contact": waits for the Temp file in shorter slices.
inline constexpr int kPopupInsertContact = 32790;
// The Report... button's "CSV report": the "Call status" heading.
inline constexpr int kPopupCsvReport = 32791;

inline constexpr int kButtonNew = 1098;
inline constexpr int kButtonImport = 1009;
inline constexpr int kButtonExport = 1038;
inline constexpr int kButtonOptions = 1039;
inline constexpr int kButtonReport = 1066;
inline constexpr int kButtonHelp = 1109;
inline constexpr int kButtonSkypeState = 1124;
inline constexpr int kButtonDialPad = 1110;
inline constexpr int kAutoStart = 1037;
inline constexpr int kAutoPause = 1058;
inline constexpr int kSemiStart = 1096;
inline constexpr int kSemiNext = 1097;
}  // namespace cmd

inline const QString kMainWindowTitle = QStringLiteral("Zorvan Dialer for Skype");
inline constexpr int kMinWidth = 720;
inline constexpr int kMinHeight = 522;

// The widgets of the main window. Menu actions carry their command id in
// QAction::data(); buttons carry it in the "commandId" property.
struct MainWindowView {
    QPushButton* toolbar[8] = {};
    QPushButton* skypeState = nullptr;
    QWidget* gridArea = nullptr;
    QGroupBox* automatic = nullptr;
    QGroupBox* semiAutomatic = nullptr;
    QPushButton* autoStart = nullptr;
    QPushButton* autoPause = nullptr;
    QPushButton* semiStart = nullptr;
    QPushButton* semiNext = nullptr;
    QLabel* campaignPath = nullptr;
    // A running campaign: contacts dialled of those dialable, the current one.
    QProgressBar* progress = nullptr;
    QLabel* progressText = nullptr;
    ClickableLabel* connection = nullptr;  // command 1168 when clicked
    QMenu* trayMenu = nullptr;
};

// Builds the window's widgets and menu bar into `window`.
MainWindowView BuildMainWindowView(QMainWindow& window);

// The action with that command id in the window's menus (menu bar and the
// tray menu), or nullptr.
QAction* FindCommand(QWidget& root, int commandId);

// Shows `text` in the connection label in the given colour.
void SetConnectionText(QLabel& label, const QString& text, const QString& colour);

}  // namespace zorvan::ui

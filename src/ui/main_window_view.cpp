#include "ui/main_window_view.h"

#include "ui/clickable_label.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zorvan::ui {

namespace {

struct Item {
    const char* caption;
    int id;
};

QAction* AddItem(QMenu& menu, const Item& item) {
    QAction* action = menu.addAction(QString::fromUtf8(item.caption));
    action->setData(item.id);
    return action;
}

QMenu* AddMenu(QMenuBar& bar, const char* title, std::initializer_list<Item> items) {
    QMenu* menu = bar.addMenu(QString::fromUtf8(title));
    for (const Item& item : items) AddItem(*menu, item);
    return menu;
}

QPushButton* MakeButton(QWidget* parent, const char* caption, int id) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setProperty("commandId", id);
    return button;
}

// A toolbar button whose popup menu opens at the cursor when it is pressed.
QPushButton* MakePopupButton(QWidget* parent, const char* caption, int id, std::initializer_list<Item> items) {
    QPushButton* button = MakeButton(parent, caption, id);
    if (items.size() == 0) return button;
    auto* popup = new QMenu(button);
    for (const Item& item : items) AddItem(*popup, item);
    QObject::connect(button, &QPushButton::clicked, popup, [popup] { popup->exec(QCursor::pos()); });
    return button;
}

}  // namespace

MainWindowView BuildMainWindowView(QMainWindow& window) {
    MainWindowView view;
    window.setWindowTitle(kMainWindowTitle);
    window.setMinimumSize(kMinWidth, kMinHeight);

    QMenuBar& bar = *window.menuBar();
    AddMenu(bar, "File", {{"New Campaign", cmd::kNewCampaign},
                          {"Insert One Contact", cmd::kInsertContact},
                          {"Remove Current Campaign", cmd::kRemoveCampaign},
                          {"Exit", cmd::kExit}});
    AddMenu(bar, "Import", {{"Import Campaign File", cmd::kImportCampaign}, {"Import CSV File", cmd::kImportCsv}});
    AddMenu(bar, "Export", {{"Export Campaign File", cmd::kExportCampaign}, {"Export CSV File", cmd::kExportCsv}});
    AddMenu(bar, "Tools", {{"Options", cmd::kOptions},
                           {"Customize Display of Columns", cmd::kCustomizeColumns},
                           {"Skype Silent Mode", cmd::kSilentMode},
                           {"Clear Calls Status", cmd::kClearStatus}});
    AddMenu(bar, "Report", {{"Web Report", cmd::kWebReport}, {"CSV Report", cmd::kCsvReport}});
    AddMenu(bar, "Help", {{"Online Help", cmd::kOnlineHelp}, {"About", cmd::kAbout}});

    auto* central = new QWidget(&window);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(3, 3, 3, 3);

    auto* toolbarRow = new QHBoxLayout;
    view.toolbar[0] = MakePopupButton(central, "New...", cmd::kButtonNew,
                                      {{"New campaign", cmd::kNewCampaign}, {"Insert contact", cmd::kPopupInsertContact}});
    view.toolbar[1] = MakePopupButton(central, "Import...", cmd::kButtonImport,
                                      {{"Import campaign file", cmd::kImportCampaign}, {"Import CSV file", cmd::kImportCsv}});
    view.toolbar[2] = MakePopupButton(central, "Export...", cmd::kButtonExport,
                                      {{"Export campaign file", cmd::kExportCampaign}, {"Export CSV file", cmd::kExportCsv}});
    view.toolbar[3] = MakePopupButton(central, "Options...", cmd::kButtonOptions,
                                      {{"Options...", cmd::kOptions}, {"Customize display of columns", cmd::kCustomizeColumns}});
    view.toolbar[4] = MakePopupButton(central, "Report...", cmd::kButtonReport,
                                      {{"HTML report", cmd::kWebReport}, {"CSV report", cmd::kPopupCsvReport}});
    view.toolbar[5] = MakePopupButton(central, "Help...", cmd::kButtonHelp,
                                      {{"Help", cmd::kOnlineHelp}, {"About", cmd::kAbout}});
    view.toolbar[6] = MakeButton(central, "Connecting to Skype...", cmd::kButtonSkypeState);
    view.toolbar[7] = MakeButton(central, "Dial Pad", cmd::kButtonDialPad);
    view.skypeState = view.toolbar[6];
    for (QPushButton* button : view.toolbar) toolbarRow->addWidget(button);
    toolbarRow->addStretch();
    column->addLayout(toolbarRow);
    column->addSpacing(8);

    // The contact grid takes this place.
    view.gridArea = new QWidget(central);
    view.gridArea->setObjectName(QStringLiteral("gridArea"));
    view.gridArea->setLayout(new QVBoxLayout);
    view.gridArea->layout()->setContentsMargins(0, 0, 0, 0);
    column->addWidget(view.gridArea, 1);

    auto* groups = new QHBoxLayout;
    view.automatic = new QGroupBox(QStringLiteral("Automatic Dialing"), central);
    view.autoStart = MakeButton(view.automatic, "Start Dialing", cmd::kAutoStart);
    view.autoPause = MakeButton(view.automatic, "Pause Dialing", cmd::kAutoPause);
    auto* autoRow = new QHBoxLayout(view.automatic);
    autoRow->addWidget(view.autoStart);
    autoRow->addWidget(view.autoPause);
    view.semiAutomatic = new QGroupBox(QStringLiteral("Semi-Automatic Dialing"), central);
    view.semiStart = MakeButton(view.semiAutomatic, "Start Dialing", cmd::kSemiStart);
    view.semiNext = MakeButton(view.semiAutomatic, "Dial Next", cmd::kSemiNext);
    auto* semiRow = new QHBoxLayout(view.semiAutomatic);
    semiRow->addWidget(view.semiStart);
    semiRow->addWidget(view.semiNext);
    view.autoPause->setEnabled(false);
    view.semiNext->setEnabled(false);
    groups->addWidget(view.automatic, 1);
    groups->addWidget(view.semiAutomatic, 1);
    column->addLayout(groups);

    auto* bottom = new QHBoxLayout;
    view.campaignPath = new QLabel(central);
    view.connection = new ClickableLabel(central);
    view.connection->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    view.progress = new QProgressBar(central);
    view.progress->setObjectName(QStringLiteral("dialProgress"));
    view.progress->setMaximumWidth(160);
    view.progress->setTextVisible(false);
    view.progress->hide();
    view.progressText = new QLabel(central);
    view.progressText->setObjectName(QStringLiteral("dialProgressText"));
    view.progressText->hide();
    bottom->addWidget(view.campaignPath, 2);
    bottom->addWidget(view.progress);
    bottom->addWidget(view.progressText, 2);
    bottom->addWidget(view.connection, 1);
    column->addLayout(bottom);
    SetConnectionText(*view.connection, QStringLiteral("Connecting to Skype..."), QStringLiteral("red"));

    window.setCentralWidget(central);

    view.trayMenu = new QMenu(&window);
    AddItem(*view.trayMenu, {"Exit", cmd::kTrayExit});
    return view;
}

QAction* FindCommand(QWidget& root, int commandId) {
    for (QAction* action : root.findChildren<QAction*>()) {
        if (action->data().toInt() == commandId && !action->text().isEmpty()) return action;
    }
    return nullptr;
}

void SetConnectionText(QLabel& label, const QString& text, const QString& colour) {
    label.setText(text);
    label.setStyleSheet(QStringLiteral("color: %1;").arg(colour));
}

}  // namespace zorvan::ui

#include "ui/dlg_options.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "data/disposition_list.h"
#include "data/greeting_list.h"
#include "dial/options_rules.h"
#include "platform/prompts.h"
#include "platform/shell.h"
#include "ui/dlg_preset_settings.h"
#include "ui/dlg_vad_settings.h"

namespace zorvan::ui {

namespace {
QLineEdit* Edit(QWidget* parent, const std::string& text, const char* name) {
    auto* e = new QLineEdit(QString::fromStdString(text), parent);
    e->setObjectName(QString::fromUtf8(name));
    return e;
}
QCheckBox* Check(QWidget* parent, const char* text, const char* name, bool on) {
    auto* c = new QCheckBox(QString::fromUtf8(text), parent);
    c->setObjectName(QString::fromUtf8(name));
    c->setChecked(on);
    return c;
}
QPushButton* Button(QWidget* parent, const char* text, const char* name) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}
QLabel* Note(QWidget* parent, const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setWordWrap(true);
    l->setStyleSheet(QStringLiteral("color: #555;"));
    return l;
}
}  // namespace

CDlgOptions::CDlgOptions(Services services, const SettingsData& values, QWidget* parent)
    : QDialog(parent), services_(std::move(services)), values_(values) {
    setWindowTitle(QStringLiteral("Options"));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->addTab(BuildGeneral(values), QStringLiteral("General"));
    tabs_->addTab(BuildDoNotCall(values), QStringLiteral("Do-Not-Call File"));
    vad_ = new CDlgVADsettings({services_.prompts, services_.shell, services_.microphone, services_.threshold,
                                services_.setThreshold},
                               values, tabs_);
    tabs_->addTab(vad_, QStringLiteral("Voice Activity Detection"));
    preset_ = new CDlgPresetSettings(services_.prompts, services_.dispositions, services_.greetings, values.notes, tabs_);
    tabs_->addTab(preset_, QStringLiteral("Preset"));
    tabs_->addTab(BuildAdvanced(values), QStringLiteral("Advanced"));
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgOptions::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    ApplyRules();
    resize(640, 480);
}

CDlgOptions::~CDlgOptions() = default;

QWidget* CDlgOptions::BuildGeneral(const SettingsData& v) {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    int row = 0;
    const auto add = [&](const char* note, const char* label, QLineEdit* edit, const char* hint) {
        grid->addWidget(Note(page, note), row++, 0, 1, 3);
        grid->addWidget(new QLabel(QString::fromUtf8(label), page), row, 0);
        grid->addWidget(edit, row, 1);
        if (hint != nullptr) grid->addWidget(new QLabel(QString::fromUtf8(hint), page), row, 2);
        ++row;
    };
    add("Specify the phone number Country/Region code", "Country/Region code:", Edit(page, v.countrycode, "countrycode"),
        "e.g. USA +1");
    add("Specify the number of seconds to wait for an answer", "Wait for answer (seconds):",
        Edit(page, std::to_string(v.waitforanswer), "waitforanswer"), nullptr);
    add("If the call is not answered it can be postponed", "Maximum attempts:",
        Edit(page, std::to_string(v.redial), "redial"), nullptr);
    add("Specify a pause time between calls", "Pause seconds between calls:",
        Edit(page, std::to_string(v.callinterval), "callinterval"), nullptr);
    add("A busy or failed number is dialled again only after this many minutes (0: at once)",
        "Minutes between attempts:", Edit(page, std::to_string(v.redialdelay), "redialdelay"), nullptr);
    grid->addWidget(Note(page, "Call each contact only within the calling hours of its own time zone, as the number "
                               "tells it (this computer's clock when the number tells none)"),
                    row++, 0, 1, 3);
    grid->addWidget(Check(page, "Call only within calling hours", "callhours", v.callhours), row, 0);
    auto* hours = new QHBoxLayout();
    hours->addWidget(new QLabel(QStringLiteral("From:"), page));
    QLineEdit* from = Edit(page, v.callfrom, "callfrom");
    QLineEdit* to = Edit(page, v.callto, "callto");
    for (QLineEdit* e : {from, to}) {
        e->setMaxLength(5);
        e->setPlaceholderText(QStringLiteral("HH:MM"));
    }
    hours->addWidget(from);
    hours->addWidget(new QLabel(QStringLiteral("To:"), page));
    hours->addWidget(to);
    grid->addLayout(hours, row++, 1);
    grid->setRowStretch(row, 1);
    connect(check(QStringLiteral("callhours")), &QCheckBox::clicked, this, &CDlgOptions::ApplyRules);
    return page;
}

QWidget* CDlgOptions::BuildDoNotCall(const SettingsData& v) {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    grid->addWidget(Check(page, "Skip phone numbers in the below Do Not Call CSV file", "donotcall", v.donotcall), 0, 0,
                    1, 2);
    grid->addWidget(Edit(page, v.donotcallfile, "donotcallfile"), 1, 0);
    auto* browse = Button(page, "Browse...", "browseDoNotCall");
    grid->addWidget(browse, 1, 1);
    grid->addWidget(Note(page, "A Do Not Call CSV file is a comma-delimited text file containing one area code and "
                               "telephone number per line, separated by a comma. For example: \n416,1234567\n"
                               "416,1234568\n416,1234569"),
                    2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    connect(check(QStringLiteral("donotcall")), &QCheckBox::clicked, this, &CDlgOptions::ApplyRules);
    connect(browse, &QPushButton::clicked, this, [this] {
        FileDialogRequest request;
        request.caption = "Open";
        request.defaultSuffix = "csv";
        request.filter = "CSV Files (*.csv)";
        request.confirmOverwrite = false;
        if (const auto path = services_.prompts.openFile(request)) {
            edit(QStringLiteral("donotcallfile"))->setText(QString::fromStdString(*path));
        }
    });
    return page;
}

QWidget* CDlgOptions::BuildAdvanced(const SettingsData& v) {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    grid->addWidget(Check(page, "Automatically record calls", "autorec", v.autorec), 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Recorded files store folder"), page), 1, 0, 1, 3);
    QLineEdit* folder = Edit(page, v.recfolder, "recfolder");
    folder->setReadOnly(true);
    grid->addWidget(folder, 2, 0);
    auto* browse = Button(page, "Browse", "browseFolder");
    auto* open = Button(page, "Open", "openFolder");
    grid->addWidget(browse, 2, 1);
    grid->addWidget(open, 2, 2);
    grid->addWidget(Check(page, "Do not pop up contact information", "donotpopcinfo", v.donotpopcinfo), 3, 0, 1, 3);
    grid->addWidget(Check(page, "Pop up contact information before the call connect", "popbconn", v.popbconn), 4, 0, 1,
                    3);
    grid->addWidget(Check(page, "Display greeting play percentage in the call disposition", "msgpercent", v.msgpercent),
                    5, 0, 1, 3);
    grid->setRowStretch(6, 1);
    connect(check(QStringLiteral("autorec")), &QCheckBox::clicked, this, &CDlgOptions::ApplyRules);
    connect(check(QStringLiteral("donotpopcinfo")), &QCheckBox::clicked, this, &CDlgOptions::ApplyRules);
    connect(browse, &QPushButton::clicked, this, [this, folder] {
        if (const auto chosen = services_.prompts.chooseFolder(folder->text().toStdString())) {
            folder->setText(QString::fromStdString(*chosen));
        }
    });
    connect(open, &QPushButton::clicked, this, [this, folder] { services_.shell.Open(folder->text().toStdString()); });
    return page;
}

void CDlgOptions::ApplyRules() {
    const bool hours = check(QStringLiteral("callhours"))->isChecked();
    edit(QStringLiteral("callfrom"))->setEnabled(hours);
    edit(QStringLiteral("callto"))->setEnabled(hours);
    const bool dnc = check(QStringLiteral("donotcall"))->isChecked();
    edit(QStringLiteral("donotcallfile"))->setEnabled(dnc);
    button(QStringLiteral("browseDoNotCall"))->setEnabled(dnc);
    const bool rec = check(QStringLiteral("autorec"))->isChecked();
    edit(QStringLiteral("recfolder"))->setEnabled(rec);
    button(QStringLiteral("browseFolder"))->setEnabled(rec);
    button(QStringLiteral("openFolder"))->setEnabled(rec);
    check(QStringLiteral("popbconn"))->setEnabled(!check(QStringLiteral("donotpopcinfo"))->isChecked());
}

bool CDlgOptions::Collect(SettingsData& v) {
    struct Box {
        const char* name;
        int min;
        int max;
        std::int32_t SettingsData::*field;
    };
    // No upper bound but what an int holds, except the attempts; an answer
    // needs at least a second to come.
    static const Box boxes[] = {{"waitforanswer", 1, 86400, &SettingsData::waitforanswer},
                                {"redial", 0, 10, &SettingsData::redial},
                                {"callinterval", 0, 86400, &SettingsData::callinterval},
                                {"redialdelay", 0, 10080, &SettingsData::redialdelay}};
    for (const Box& box : boxes) {
        QLineEdit* e = edit(QString::fromUtf8(box.name));
        const IntegerField field = ParseIntegerField(e->text().toStdString(), box.min, box.max);
        if (!field.value) {
            tabs_->setCurrentIndex(0);
            e->setFocus();
            e->selectAll();
            services_.prompts.messageBox("Zorvan Dialer", field.message, PromptIcon::Warning, PromptButtons::Ok);
            return false;
        }
        v.*box.field = *field.value;
    }
    v.callhours = check(QStringLiteral("callhours"))->isChecked();
    QLineEdit* from = edit(QStringLiteral("callfrom"));
    QLineEdit* to = edit(QStringLiteral("callto"));
    const CallingHoursField hours =
        CheckCallingHours(v.callhours, from->text().toStdString(), to->text().toStdString());
    if (!hours.message.empty()) {
        tabs_->setCurrentIndex(0);
        QLineEdit* wrong = hours.wrongTo ? to : from;
        wrong->setFocus();
        wrong->selectAll();
        services_.prompts.messageBox("Zorvan Dialer", hours.message, PromptIcon::Warning, PromptButtons::Ok);
        return false;
    }
    v.callfrom = hours.from;
    v.callto = hours.to;
    v.countrycode = edit(QStringLiteral("countrycode"))->text().toStdString();
    v.donotcall = check(QStringLiteral("donotcall"))->isChecked();
    v.donotcallfile = edit(QStringLiteral("donotcallfile"))->text().toStdString();
    vad_->StoreInto(v);
    v.notes = preset_->notes();
    v.autorec = check(QStringLiteral("autorec"))->isChecked();
    v.recfolder = edit(QStringLiteral("recfolder"))->text().toStdString();
    v.donotpopcinfo = check(QStringLiteral("donotpopcinfo"))->isChecked();
    v.popbconn = check(QStringLiteral("popbconn"))->isChecked();
    v.msgpercent = check(QStringLiteral("msgpercent"))->isChecked();
    return true;
}

void CDlgOptions::accept() {
    SettingsData v = values_;
    if (!Collect(v)) return;
    values_ = v;
    QDialog::accept();
}

QLineEdit* CDlgOptions::edit(const QString& name) const { return findChild<QLineEdit*>(name); }
QCheckBox* CDlgOptions::check(const QString& name) const { return findChild<QCheckBox*>(name); }
QPushButton* CDlgOptions::button(const QString& name) const { return findChild<QPushButton*>(name); }

void StoreOptions(const SettingsData& v, Settings& s) {
    s.set(&SettingsData::countrycode, v.countrycode);
    s.set(&SettingsData::waitforanswer, v.waitforanswer);
    s.set(&SettingsData::redial, v.redial);
    s.set(&SettingsData::callinterval, v.callinterval);
    s.set(&SettingsData::redialdelay, v.redialdelay);
    s.set(&SettingsData::callhours, v.callhours);
    s.set(&SettingsData::callfrom, v.callfrom);
    s.set(&SettingsData::callto, v.callto);
    s.set(&SettingsData::donotcall, v.donotcall);
    s.set(&SettingsData::donotcallfile, v.donotcallfile);
    s.set(&SettingsData::vad, v.vad);
    s.set(&SettingsData::leavemsgtotam, v.leavemsgtotam);
    s.set(&SettingsData::leavemsgtotamfile, v.leavemsgtotamfile);
    s.set(&SettingsData::hangupamline, v.hangupamline);
    s.set(&SettingsData::msgtohuman, v.msgtohuman);
    s.set(&SettingsData::msgtohumanfile, v.msgtohumanfile);
    s.set(&SettingsData::autohnafmsg, v.autohnafmsg);
    s.set(&SettingsData::amdmode, v.amdmode);
    s.set(&SettingsData::notes, v.notes);
    s.set(&SettingsData::autorec, v.autorec);
    s.set(&SettingsData::recfolder, v.recfolder);
    s.set(&SettingsData::donotpopcinfo, v.donotpopcinfo);
    s.set(&SettingsData::popbconn, v.popbconn);
    s.set(&SettingsData::msgpercent, v.msgpercent);
}

}  // namespace zorvan::ui

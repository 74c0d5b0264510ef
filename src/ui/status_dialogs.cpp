#include "ui/status_dialogs.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/web_pages.h"

namespace zorvan::ui {

namespace {

const QColor kBackground(239, 239, 239);

void Paint(QWidget& dialog) {
    dialog.setAutoFillBackground(true);
    QPalette palette = dialog.palette();
    palette.setColor(QPalette::Window, kBackground);
    dialog.setPalette(palette);
}

// The client's access prompt as the user will see it, with the button to
// press marked.
QPixmap AccessPromptPicture() {
    QPixmap picture(300, 64);
    picture.fill(kBackground);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(160, 160, 160));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(2, 2, 296, 60), 6, 6);
    p.setBrush(QColor(0, 120, 215));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(12, 18, 26, 26));
    p.setPen(Qt::white);
    p.setFont(QFont(QStringLiteral("Sans"), 11, QFont::Bold));
    p.drawText(QRectF(12, 18, 26, 26), Qt::AlignCenter, QStringLiteral("S"));
    p.setPen(Qt::black);
    p.setFont(QFont(QStringLiteral("Sans"), 8));
    p.drawText(QRectF(46, 8, 240, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Zorvan Dialer wants to use Skype"));
    p.setPen(QColor(90, 90, 90));
    p.setBrush(QColor(230, 230, 230));
    p.drawRoundedRect(QRectF(46, 32, 96, 22), 3, 3);
    p.drawRoundedRect(QRectF(150, 32, 70, 22), 3, 3);
    p.setPen(Qt::black);
    p.drawText(QRectF(46, 32, 96, 22), Qt::AlignCenter, QStringLiteral("Allow access"));
    p.drawText(QRectF(150, 32, 70, 22), Qt::AlignCenter, QStringLiteral("Deny"));
    p.setPen(QPen(QColor(220, 0, 0), 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(40, 27, 108, 32));
    return picture;
}

QLabel* TextLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

QString AccessHelpText() {
    return QStringLiteral("Your skype refused Zorvan dialer to access it.\nPlease visit the page (") +
           QString::fromUtf8(web::kAccessSkype) + QStringLiteral(") to resolve the issue!");
}

BusySpinner::BusySpinner(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
    setFixedSize(32, 32);
    connect(timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % 12;
        update();
    });
}

void BusySpinner::showEvent(QShowEvent* event) {
    timer_->start(90);
    QWidget::showEvent(event);
}

void BusySpinner::hideEvent(QHideEvent* event) {
    timer_->stop();
    QWidget::hideEvent(event);
}

void BusySpinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(width() / 2.0, height() / 2.0);
    for (int i = 0; i < 12; ++i) {
        const int age = (step_ - i + 12) % 12;
        p.setPen(QPen(QColor(0, 90, 170, 255 - age * 18), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, -8), QPointF(0, -14));
        p.rotate(30);
    }
}

CDlgStatusCheck::CDlgStatusCheck(EventLoop& loop, std::function<std::uint32_t()> attachStatus, QWidget* parent)
    : QDialog(parent), loop_(loop), attachStatus_(std::move(attachStatus)) {
    setWindowTitle(QStringLiteral("Connecting to Skype ..."));
    setModal(false);
    Paint(*this);
    auto* row = new QHBoxLayout(this);
    row->addWidget(new BusySpinner(this), 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    waiting_ = TextLabel(this);
    picture_ = new QLabel(this);
    picture_->setPixmap(AccessPromptPicture());
    main_ = TextLabel(this);
    hint_ = TextLabel(this);
    column->addWidget(waiting_);
    column->addWidget(picture_);
    column->addWidget(main_);
    column->addWidget(hint_);
    row->addLayout(column, 1);
    waiting_->hide();
    picture_->hide();
    hint_->hide();
    setMinimumWidth(520);
    target_ = std::make_unique<ScopedTarget>(loop_, *this);
    loop_.setTimer(target_->id(), kRefreshTimer, kRefreshMs);
}

CDlgStatusCheck::~CDlgStatusCheck() = default;

void CDlgStatusCheck::OnTimer(int timerId) {
    if (timerId == kRefreshTimer) Refresh();
}

void CDlgStatusCheck::Refresh() {
    const std::uint32_t status = attachStatus_ ? attachStatus_() : 3;
    if (status == 0) {
        if (!granted_) loop_.killTimer(target(), kRefreshTimer);
        granted_ = true;
        hide();
        return;
    }
    for (QLabel* label : {main_, picture_, hint_, waiting_}) label->hide();
    if (status == 1) {
        waiting_->setText(QStringLiteral("Zorvan dialer is waiting for authorization."));
        hint_->setText(QStringLiteral("Please click the \"Allow access\" button when the above message shows on Skype!"));
        picture_->show();
        hint_->show();
        waiting_->show();
    } else {
        main_->setText(status == 2 ? AccessHelpText() : QStringLiteral("Connecting to Skype! Please wait..."));
        main_->show();
    }
    adjustSize();
    if (!isVisible() && !granted_) show();
}

void CDlgStatusCheck::showEvent(QShowEvent* event) {
    // Whoever shows it, it shows the status as it is now.
    const std::uint32_t status = attachStatus_ ? attachStatus_() : 3;
    if (status != 0) {
        const bool wasGranted = granted_;
        granted_ = false;
        Refresh();
        granted_ = wasGranted;
    }
    QDialog::showEvent(event);
}

void CDlgStatusCheck::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
    QDialog::keyPressEvent(event);
}

void CDlgStatusCheck::closeEvent(QCloseEvent* event) {
    // Refused access: the close box hides the window until the status changes.
    if (attachStatus_ && attachStatus_() == 2) {
        hide();
        event->ignore();
        return;
    }
    event->ignore();  // otherwise it cannot be dismissed
}

CDlgWaitingMsg::CDlgWaitingMsg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Please wait..."));
    setModal(false);
    Paint(*this);
    auto* row = new QHBoxLayout(this);
    row->addWidget(new BusySpinner(this));
    auto* label = new QLabel(QStringLiteral("Please wait! Processing..."), this);
    label->setObjectName(QStringLiteral("waitingText"));
    row->addWidget(label, 1);
    setMinimumWidth(340);
}

void CDlgWaitingMsg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
    QDialog::keyPressEvent(event);
}

}  // namespace zorvan::ui

#include "shell/frmAbout.h"

#include "data/MyFun.h"
#include "shell/frmHelp.h"
#include "ui/Look.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "version.h"

QPixmap AboutPicture()
{
    QPixmap pix(400, 300);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 400, 300);
    sky.setColorAt(0.0, QColor(0x2E, 0x3A, 0x5C));
    sky.setColorAt(1.0, QColor(0x54, 0x63, 0x8F));
    p.fillRect(pix.rect(), sky);

    // A ledger page with ruled lines, seen at a slant.
    p.save();
    p.translate(250, 70);
    p.rotate(-8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xFF, 0xE8, 60));
    p.drawRoundedRect(QRectF(0, 0, 130, 170), 6, 6);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    for (int y = 22; y < 165; y += 14)
        p.drawLine(QPointF(10, y), QPointF(120, y));
    p.setPen(QPen(QColor(0xE0, 0x70, 0x60, 120), 1));
    p.drawLine(QPointF(28, 8), QPointF(28, 162));
    p.restore();

    // A quill crossing the page.
    QPainterPath feather;
    feather.moveTo(205, 250);
    feather.cubicTo(250, 170, 320, 90, 385, 30);
    feather.cubicTo(350, 110, 300, 180, 215, 252);
    feather.closeSubpath();
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.2));
    p.setBrush(QColor(255, 255, 255, 45));
    p.drawPath(feather);
    p.setPen(QPen(QColor(255, 255, 255, 170), 1.5));
    p.drawLine(QPointF(198, 262), QPointF(382, 34));
    // A few rising bars, the budget that grows.
    p.setPen(Qt::NoPen);
    const int heights[] = {18, 30, 26, 44, 58};
    for (int i = 0; i < 5; ++i) {
        p.setBrush(QColor(0xFF, 0xFF, 0xC0, 70 + 25 * i));
        p.drawRect(QRectF(24 + i * 22, 236 - heights[i], 14, heights[i]));
    }
    return pix;
}

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui::ApplyBackground(this);

    picBackground = new QLabel(this);
    picBackground->setObjectName(QStringLiteral("picBackground"));
    picBackground->setPixmap(AboutPicture());
    picBackground->setFixedSize(400, 300);

    lblTitle = ui::Label(QStringLiteral("lblTitle"), QString(), picBackground);
    lblVersion = ui::Label(QStringLiteral("lblVersion"), QString(), picBackground);
    lblDescription = ui::Label(QStringLiteral("lblDescription"), QString(), picBackground);
    lblDisclaimer = ui::Label(QStringLiteral("lblDisclaimer"), QString(), picBackground);
    lblDatabase = ui::Label(QStringLiteral("lblDatabase"), QString(), this);
    lblDatabase->setWordWrap(true);
    lblDatabase->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblDescription->setWordWrap(true);
    lblDisclaimer->setWordWrap(true);
    for (QLabel *l : {lblTitle, lblVersion, lblDescription, lblDisclaimer})
        ui::MakeLabelWhite(l);

    auto *onPicture = new QVBoxLayout(picBackground);
    onPicture->setContentsMargins(16, 14, 16, 12);
    onPicture->setSpacing(4);
    onPicture->addWidget(lblTitle);
    onPicture->addWidget(lblVersion);
    onPicture->addWidget(lblDescription);
    onPicture->addStretch(1);
    onPicture->addWidget(lblDisclaimer);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdOK->setMinimumWidth(90);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 10);
    layout->addWidget(picBackground, 0, Qt::AlignHCenter);
    auto *databaseRow = new QHBoxLayout();
    databaseRow->setContentsMargins(10, 0, 10, 0);
    databaseRow->addWidget(lblDatabase);
    layout->addLayout(databaseRow);
    auto *buttonRow = new QHBoxLayout();
    buttonRow->addStretch(1);
    buttonRow->addWidget(cmdOK);
    buttonRow->addStretch(1);
    layout->addLayout(buttonRow);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    frmHelp::AddHelpKey(this, QString());
    Form_Load();
    cmdOK->setFocus();
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + AppTitle);
    lblVersion->setText(QStringLiteral("Version %1.%2.%3").arg(QM_VERSION_MAJOR).arg(QM_VERSION_MINOR).arg(QM_VERSION_REVISION));
    lblTitle->setText(AppTitle);
    lblDescription->setText(QStringLiteral("Designed to controle budget cost of projects..."));
    lblDisclaimer->setText(QString::fromUtf8(kMakerLine1) + QStringLiteral("\r\n") + QString::fromUtf8(kMakerLine2));
    // Which database is in use: the file, or the server and its database.
    const QString where = SharedConnection.Where();
    lblDatabase->setText(QStringLiteral("Database: ") +
                         (where.isEmpty() ? (ServerConnection.isEmpty() ? QStringLiteral("none open") : ServerConnection)
                                          : where));
}

// OK, Enter and Escape all close the box (Escape through the dialog's own reject).
void frmAbout::cmdOK_Click() { accept(); }

#include "shell/frmHelp.h"

#include "ui/Look.h"
#include "ui/Seams.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QPushButton *button(const QString &name, QStyle::StandardPixmap picture, const QString &caption, QWidget *parent)
{
    QPushButton *b = ui::CaptionButton(name, picture, caption, caption, parent);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

frmHelp::frmHelp(const QString &page, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Quillmark Guide"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    ui::ApplyBackground(this);

    txtGuide = new QTextBrowser(this);
    txtGuide->setObjectName(QStringLiteral("txtGuide"));
    txtGuide->setAccessibleName(QStringLiteral("Guide"));
    // Every link comes to FollowLink: the guide's own pages stay here, the web goes to the desktop.
    txtGuide->setOpenLinks(false);
    txtGuide->setOpenExternalLinks(false);
    btnBack = button(QStringLiteral("btnBack"), QStyle::SP_ArrowBack, QStringLiteral("Back"), this);
    btnForward = button(QStringLiteral("btnForward"), QStyle::SP_ArrowForward, QStringLiteral("Forward"), this);
    btnClose = button(QStringLiteral("btnClose"), QStyle::SP_DialogCloseButton, QStringLiteral("Close"), this);
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);

    auto *buttons = new QHBoxLayout();
    buttons->addWidget(btnBack);
    buttons->addWidget(btnForward);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(txtGuide, 1);

    connect(btnBack, &QPushButton::clicked, txtGuide, &QTextBrowser::backward);
    connect(btnForward, &QPushButton::clicked, txtGuide, &QTextBrowser::forward);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(txtGuide, &QTextBrowser::backwardAvailable, btnBack, &QWidget::setEnabled);
    connect(txtGuide, &QTextBrowser::forwardAvailable, btnForward, &QWidget::setEnabled);
    connect(txtGuide, &QTextBrowser::anchorClicked, this, &frmHelp::FollowLink);

    if (QFileInfo(page).isFile()) {
        txtGuide->setSource(QUrl::fromLocalFile(QFileInfo(page).absoluteFilePath()));
    } else {
        txtGuide->setHtml(QStringLiteral("<h2>The guide is missing</h2><p>The guide should be the file "
                                         "<b>%1</b>, but there is no such file. Installing the program "
                                         "again puts it back.</p>")
                              .arg(page.toHtmlEscaped()));
    }
    resize(900, 720);
    txtGuide->setFocus();
}

void frmHelp::FollowLink(const QUrl &link)
{
    const QUrl target = txtGuide->source().resolved(link);
    if (target.isLocalFile() || target.scheme().isEmpty() || target.scheme() == QLatin1String("qrc"))
        txtGuide->setSource(target);
    else
        ui::OpenWithDesktop(target.toString());
}

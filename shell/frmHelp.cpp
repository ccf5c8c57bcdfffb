#include "shell/frmHelp.h"

#include "ui/Look.h"
#include "ui/Seams.h"
#include "ui/Window.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
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
    ui::NameDialog(this, QStringLiteral("frmHelp"), QStringLiteral("Quillmark Guide"));
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
    m_restored = ui::PlaceWindow(this, QSize(900, 720));
    txtGuide->setFocus();
}

namespace {
QPointer<frmHelp> g_guide;
}

frmHelp *frmHelp::Current() { return g_guide; }

frmHelp *frmHelp::ShowGuide(const QString &section)
{
    const QString page = ui::AppPath() + QStringLiteral("/Help/index.html");
    // A guide closed a moment ago is not yet gone: a new one opens in its place.
    if (g_guide && !g_guide->isVisible()) {
        g_guide->deleteLater();
        g_guide = nullptr;
    }
    const bool opening = g_guide.isNull();
    if (opening) {
        g_guide = new frmHelp(page, QApplication::activeModalWidget());
        g_guide->setAttribute(Qt::WA_DeleteOnClose);
        g_guide->setModal(false);
        // Beside the program's windows: at the right of the screen, as high as it is.
        if (!g_guide->m_restored) {
            const QRect area = ui::AvailableArea(g_guide);
            const int width = std::min(560, std::max(420, area.width() * 2 / 5));
            g_guide->resize(width, std::max(300, area.height() - 48));
            g_guide->move(area.right() - width - 8, area.top() + 32);
        }
    }
    g_guide->followModal();
    if (QFileInfo(page).isFile()) {
        QUrl target = QUrl::fromLocalFile(QFileInfo(page).absoluteFilePath());
        target.setFragment(section.isEmpty() ? QString() : section);
        if (opening || !section.isEmpty())
            g_guide->txtGuide->setSource(target);
    }
    g_guide->show();
    g_guide->raise();
    g_guide->activateWindow();
    return g_guide;
}

void frmHelp::followModal()
{
    QWidget *owner = QApplication::activeModalWidget();
    if (owner == this || owner == parentWidget())
        return;
    const bool shown = isVisible();
    const QRect where = geometry();
    setParent(owner, windowFlags());
    setGeometry(where);
    if (auto *dialog = qobject_cast<QDialog *>(owner))
        connect(dialog, &QDialog::finished, this, [this, dialog] {
            if (parentWidget() != dialog)
                return;
            const bool wasShown = isVisible();
            const QRect at = geometry();
            setParent(dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr, windowFlags());
            setGeometry(at);
            if (wasShown)
                show();
        });
    if (shown)
        show();
}

void frmHelp::AddHelpKey(QWidget *window, const QString &section)
{
    auto *key = new QShortcut(QKeySequence(Qt::Key_F1), window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window, [section] { ShowGuide(section); });
}

void frmHelp::FollowLink(const QUrl &link)
{
    const QUrl target = txtGuide->source().resolved(link);
    if (target.isLocalFile() || target.scheme().isEmpty() || target.scheme() == QLatin1String("qrc"))
        txtGuide->setSource(target);
    else
        ui::OpenWithDesktop(target.toString());
}

#include "ui/Window.h"

#include "data/MyFun.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QStyleOption>

namespace ui {

namespace {

// Room left for a window's title bar and borders, which the window system adds around it.
const QSize kFrame(16, 40);

QString settingsKey(const QWidget *window)
{
    const QString user = CurrentUserId.isEmpty() ? QStringLiteral("-") : CurrentUserId;
    return QStringLiteral("windows/%1/%2").arg(user.toLower(), window->objectName());
}

// Keeps a window's geometry when it is hidden (closed), for the next time it opens.
class GeometryKeeper : public QObject {
public:
    explicit GeometryKeeper(QWidget *window) : QObject(window), m_window(window) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Hide && m_window->isWindow() && !m_window->isMinimized()) {
            QSettings settings(QStringLiteral("Quillmark"), QStringLiteral("Quillmark"));
            settings.setValue(settingsKey(m_window), m_window->geometry());
        }
        return false;
    }

private:
    QWidget *m_window;
};

// Swaps a control's tool tip for the reason it is disabled, and back. A reason set over it (what
// the user may not do with the project on show) is said instead while it is set.
class DisabledReason : public QObject {
public:
    DisabledReason(QWidget *control, const QString &reason)
        : QObject(control), m_control(control), m_reason(reason), m_own(control->toolTip())
    {
        setObjectName(QStringLiteral("DisabledReason"));
        show();
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_control && event->type() == QEvent::EnabledChange)
            show();
        return false;
    }
    void SetOverride(const QString &reason)
    {
        m_override = reason;
        show();
    }

private:
    void show()
    {
        const QString reason = m_override.isEmpty() ? m_reason : m_override;
        if (!m_control->isEnabled() && !reason.isEmpty())
            m_control->setToolTip(reason);
        else
            m_control->setToolTip(m_own);
    }
    QWidget *m_control;
    QString m_reason, m_own, m_override;
};

}  // namespace

void ExplainWhenDisabled(QWidget *control, const QString &reason)
{
    control->installEventFilter(new DisabledReason(control, reason));
}

void OverrideDisabledReason(QWidget *control, const QString &reason)
{
    auto *explained = static_cast<DisabledReason *>(
        control->findChild<QObject *>(QStringLiteral("DisabledReason"), Qt::FindDirectChildrenOnly));
    if (!explained) {
        if (reason.isEmpty())
            return;
        explained = new DisabledReason(control, QString());
        control->installEventFilter(explained);
    }
    explained->SetOverride(reason);
}

NameLabel::NameLabel(const QString &name, QWidget *parent) : QLabel(parent)
{
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void NameLabel::setText(const QString &text)
{
    QLabel::setText(text);
    setToolTip(text);
    setAccessibleName(text);
}

QString NameLabel::ShownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

QSize NameLabel::sizeHint() const
{
    // A few words' room; a longer name is shortened rather than given more.
    const QSize full = QLabel::sizeHint();
    return QSize(std::min(full.width(), fontMetrics().averageCharWidth() * 40), full.height());
}

QSize NameLabel::minimumSizeHint() const
{
    // A short name whole, a long one at least a few letters and "…".
    const QFontMetrics fm = fontMetrics();
    const int margins = contentsMargins().left() + contentsMargins().right() + 2 * margin();
    return QSize(std::min(fm.horizontalAdvance(text()), fm.horizontalAdvance(QStringLiteral("MMMMMM"))) + margins + 2,
                 QLabel::minimumSizeHint().height());
}

void NameLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), option.palette, isEnabled(), ShownText(),
                          foregroundRole());
}

QRect AvailableArea(const QWidget *window)
{
    const QWidget *anchor = window->parentWidget() ? window->parentWidget()->window() : window;
    QScreen *screen = anchor->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

bool PlaceWindow(QWidget *window, QSize wanted)
{
    const QRect area = AvailableArea(window);
    const QSize room = (area.size() - kFrame).expandedTo(QSize(200, 150));
    const QSize size = wanted.boundedTo(room).expandedTo(window->minimumSizeHint().boundedTo(room));
    window->resize(size);
    // Centred over the window that opened it, or on the screen; never past the screen's edges.
    const QWidget *parent = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    const QPoint centre = parent && parent->isVisible() ? parent->geometry().center() : area.center();
    QRect placed(QPoint(0, 0), size);
    placed.moveCenter(centre);
    placed.moveLeft(std::clamp(placed.left(), area.left() + kFrame.width() / 2,
                               std::max(area.left() + kFrame.width() / 2, area.right() - size.width() - kFrame.width() / 2)));
    placed.moveTop(std::clamp(placed.top(), area.top() + kFrame.height() - 8,
                              std::max(area.top() + kFrame.height() - 8, area.bottom() - size.height() - 8)));
    window->move(placed.topLeft());

    const QSettings settings(QStringLiteral("Quillmark"), QStringLiteral("Quillmark"));
    const QRect kept = settings.value(settingsKey(window)).toRect();
    const bool restore = kept.isValid() && area.contains(kept) && kept.width() >= window->minimumSizeHint().width() &&
                         kept.height() >= window->minimumSizeHint().height();
    if (restore)
        window->setGeometry(kept);
    const QString keeperName = QStringLiteral("qm_geometryKeeper");
    if (!window->findChild<QObject *>(keeperName, Qt::FindDirectChildrenOnly)) {
        auto *keeper = new GeometryKeeper(window);
        keeper->setObjectName(keeperName);
        window->installEventFilter(keeper);
    }
    return restore;
}

void BindKey(QAbstractButton *button, const QKeySequence &key)
{
    auto *shortcut = new QShortcut(key, button->window());
    QObject::connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isEnabled() && button->isVisible())
            button->click();
    });
}

}  // namespace ui

#include "ui/Look.h"

#include <QApplication>
#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPolygonF>
#include <cmath>

namespace ui {

void NameDialog(QDialog *dialog, const QString &name, const QString &title)
{
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}


namespace {

// A 2-pixel outline drawn just outside the control that has the keyboard focus, over the window it
// is in, so that the focus shows on every kind of control whatever the style draws.
class FocusOutline : public QWidget {
public:
    FocusOutline()
    {
        setObjectName(QStringLiteral("focusOutline"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

    void follow(QWidget *target)
    {
        if (m_target)
            m_target->removeEventFilter(this);
        m_target = target;
        if (!target || target->isWindow() || (target->window()->windowType() & Qt::Popup) == Qt::Popup ||
            target->focusPolicy() == Qt::NoFocus) {
            m_target = nullptr;
            hide();
            return;
        }
        if (parentWidget() != target->window())
            setParent(target->window());
        target->installEventFilter(this);
        place();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            place();
            break;
        default:
            break;
        }
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(QPen(kFocusOutline, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }

private:
    void place()
    {
        if (!m_target || !m_target->isVisible()) {
            hide();
            return;
        }
        const QPoint at = m_target->mapTo(parentWidget(), QPoint(0, 0));
        setGeometry(QRect(at, m_target->size()).adjusted(-3, -3, 3, 3));
        show();
        raise();
        update();
    }

    QPointer<QWidget> m_target;
};

void followFocus()
{
    static bool following = false;
    if (following || !qApp)
        return;
    following = true;
    static QPointer<FocusOutline> outline;
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget *, QWidget *now) {
        if (!outline)
            outline = new FocusOutline();  // its window owns it; a new one follows once that closes
        outline->follow(now);
    });
}

// The colours of an input for its state: yellow while it takes typing, pale grey when it does not.
void paintInput(QWidget *input)
{
    const bool readOnly = input->property("readOnly").toBool();
    QPalette p = input->palette();
    for (const QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::Base, readOnly ? kIdleBackground : kInputBackground);
        p.setColor(g, QPalette::Button, readOnly ? kIdleBackground : kInputBackground);
        p.setColor(g, QPalette::Text, kInputText);
        p.setColor(g, QPalette::ButtonText, kInputText);
    }
    p.setColor(QPalette::Disabled, QPalette::Base, kIdleBackground);
    p.setColor(QPalette::Disabled, QPalette::Button, kIdleBackground);
    p.setColor(QPalette::Disabled, QPalette::Text, kIdleText);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, kIdleText);
    input->setPalette(p);
}

// Repaints an input whose read-only state changes.
class ReadOnlyWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ReadOnlyChange && watched->isWidgetType())
            paintInput(static_cast<QWidget *>(watched));
        return false;
    }
};

double luminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

}  // namespace

void ApplyBackground(QWidget *window)
{
    QPalette p = window->palette();
    p.setColor(QPalette::Window, kWindowBackground);
    p.setColor(QPalette::Highlight, kSelectionBackground);
    p.setColor(QPalette::HighlightedText, kSelectionText);
    window->setPalette(p);
    window->setAutoFillBackground(true);
    followFocus();
}

void MakeLabelWhite(QLabel *label)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, kLabelText);
    p.setColor(QPalette::Disabled, QPalette::WindowText, kLabelDisabledText);
    label->setPalette(p);
}

void MakeInputYellow(QWidget *input)
{
    paintInput(input);
    static ReadOnlyWatch *watch = new ReadOnlyWatch(qApp);
    input->installEventFilter(watch);
}

std::vector<ColourPair> ColourPairs()
{
    return {{"label on the window", kLabelText, kWindowBackground},
            {"disabled label on the window", kLabelDisabledText, kWindowBackground},
            {"input", kInputText, kInputBackground},
            {"disabled or read-only input", kIdleText, kIdleBackground},
            {"read-only input's text", kInputText, kIdleBackground},
            {"chosen row", kSelectionText, kSelectionBackground},
            {"money received", kLabelText, kCreditBackground},
            {"money spent", kLabelText, kDebitBackground}};
}

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QLabel *Label(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QLineEdit *TextBox(const QString &name, QWidget *parent)
{
    auto *t = new QLineEdit(parent);
    t->setObjectName(name);
    return t;
}

QLineEdit *PasswordBox(const QString &name, QWidget *parent)
{
    QLineEdit *t = TextBox(name, parent);
    t->setEchoMode(QLineEdit::Password);
    t->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    return t;
}

QPushButton *PictureButton(const QString &name, QStyle::StandardPixmap picture, const QString &toolTip,
                           QWidget *parent)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(name);
    // The style reads each picture from files of several sizes; a window opened again (or a second
    // button with the same picture) takes the one already read.
    static QHash<int, QIcon> read;
    auto icon = read.find(int(picture));
    if (icon == read.end())
        icon = read.insert(int(picture), QApplication::style()->standardIcon(picture));
    b->setIcon(*icon);
    b->setIconSize(QSize(24, 24));
    b->setMinimumSize(QSize(44, 36));
    b->setToolTip(toolTip);
    b->setAccessibleName(toolTip);
    return b;
}

QGroupBox *Frame(const QString &name, const QString &caption, QWidget *parent)
{
    auto *f = new QGroupBox(caption, parent);
    f->setObjectName(name);
    return f;
}

QPushButton *CaptionButton(const QString &name, QStyle::StandardPixmap picture, const QString &caption,
                           const QString &toolTip, QWidget *parent)
{
    QPushButton *b = PictureButton(name, picture, toolTip, parent);
    b->setText(caption);
    b->setAccessibleName(caption);
    return b;
}

QIcon DrawnPicture(Drawn picture)
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x30, 0x36, 0x4a), 2.5));
    if (picture == Drawn::Printer) {
        p.setBrush(Qt::white);
        p.drawRect(QRectF(14, 5, 20, 14));  // the paper going in
        p.setBrush(QColor(0x8a, 0x94, 0xb3));
        p.drawRoundedRect(QRectF(5, 17, 38, 18), 4, 4);  // the body
        p.setBrush(Qt::white);
        p.drawRect(QRectF(13, 29, 22, 14));  // the printed page
        p.drawLine(QPointF(17, 35), QPointF(31, 35));
        p.drawLine(QPointF(17, 39), QPointF(27, 39));
    } else if (picture == Drawn::Sheet) {
        // A worksheet: a green header row over a grid of cells.
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 7, 38, 34));
        p.setBrush(QColor(0x21, 0x7a, 0x45));
        p.drawRect(QRectF(5, 7, 38, 9));
        p.setPen(QPen(QColor(0x30, 0x36, 0x4a), 1.5));
        for (const qreal y : {24.5, 32.5})
            p.drawLine(QPointF(5, y), QPointF(43, y));
        for (const qreal x : {17.5, 30.5})
            p.drawLine(QPointF(x, 16), QPointF(x, 41));
    } else {
        p.setBrush(Qt::white);
        const QPolygonF page({QPointF(10, 4), QPointF(30, 4), QPointF(39, 13), QPointF(39, 44), QPointF(10, 44)});
        p.drawPolygon(page);
        p.drawPolyline(QPolygonF({QPointF(30, 4), QPointF(30, 13), QPointF(39, 13)}));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xc0, 0x20, 0x20));
        p.drawRect(QRectF(5, 22, 30, 14));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(11);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(5, 22, 30, 14), Qt::AlignCenter, QStringLiteral("PDF"));
    }
    return QIcon(pixmap);
}

}  // namespace ui

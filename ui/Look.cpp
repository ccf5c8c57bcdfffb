#include "ui/Look.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

namespace ui {

void ApplyBackground(QWidget *window)
{
    QPalette p = window->palette();
    p.setColor(QPalette::Window, kWindowBackground);
    window->setPalette(p);
    window->setAutoFillBackground(true);
}

void MakeLabelWhite(QLabel *label)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0xC8, 0xCC, 0xD8));
    label->setPalette(p);
}

void MakeInputYellow(QWidget *input)
{
    QPalette p = input->palette();
    p.setColor(QPalette::Base, kInputBackground);
    p.setColor(QPalette::Button, kInputBackground);
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::ButtonText, Qt::black);
    input->setPalette(p);
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

// The program's colours: every text it colours is readable on its background, boxes that take no
// typing do not wear the input yellow, the menu bar keeps the platform's colours, and the control with
// the keyboard focus is outlined.
#include "TestSupport.h"

#include "shell/frmMain.h"
#include "ui/Look.h"

#include <QMenuBar>

TEST(Look, EveryTextColourReadsOnItsBackground)
{
    EXPECT_NEAR(ui::ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(ui::ContrastRatio(Qt::black, ui::kWindowBackground), 3.6, 0.05);  // why the menu bar is not blue
    for (const ui::ColourPair &pair : ui::ColourPairs())
        EXPECT_GE(ui::ContrastRatio(pair.text, pair.background), 4.5) << pair.where;
    EXPECT_GE(ui::ColourPairs().size(), 6u);
}

TEST(Look, IdleBoxesAreGreyTheMenuBarIsTheSystemsAndTheFocusIsOutlined)
{
    QWidget window;
    ui::ApplyBackground(&window);
    QLabel *label = ui::Label("l", "Amount", &window);
    ui::MakeLabelWhite(label);
    QLineEdit *box = ui::TextBox("box", &window);
    ui::MakeInputYellow(box);
    QLineEdit *other = ui::TextBox("other", &window);
    other->move(0, 60);
    const auto shown = [](QWidget *w, QPalette::ColorRole role) { return w->palette().color(role).name(); };
    EXPECT_EQ(shown(label, QPalette::WindowText) + shown(box, QPalette::Base) + shown(box, QPalette::Text),
              ui::kLabelText.name() + ui::kInputBackground.name() + ui::kInputText.name());
    box->setReadOnly(true);
    EXPECT_EQ(shown(box, QPalette::Base), ui::kIdleBackground.name());
    box->setReadOnly(false);
    box->setEnabled(false);
    EXPECT_EQ(shown(box, QPalette::Base) + shown(box, QPalette::Text), ui::kIdleBackground.name() + ui::kIdleText.name());
    label->setEnabled(false);
    EXPECT_EQ(shown(label, QPalette::WindowText), ui::kLabelDisabledText.name());

    box->setEnabled(true);
    window.resize(300, 200);
    window.show();
    window.activateWindow();
    box->setFocus();
    QApplication::processEvents();
    const auto outline = window.findChild<QWidget *>("focusOutline");
    ASSERT_TRUE(outline && outline->isVisible());
    EXPECT_TRUE(outline->geometry().contains(box->geometry()) && outline->geometry() != box->geometry());
    other->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(outline->geometry().contains(other->geometry()) && !outline->geometry().intersects(box->geometry()));

    frmMain frame;
    EXPECT_EQ(frame.menuBar()->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Window));
}

#include "editors/EditorParts.h"

#include "ui/Look.h"
#include "ui/Seams.h"

#include <QGridLayout>

QLabel *AddField(QGridLayout *grid, int row, const QString &labelName, const QString &text, QWidget *input)
{
    QLabel *label = ui::Label(labelName, text, grid->parentWidget());
    ui::MakeLabelWhite(label);
    label->setBuddy(input);
    ui::MakeInputYellow(input);
    // A disabled input shows grey text, so that the idle frame does not look ready for typing.
    QPalette p = input->palette();
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x70, 0x70, 0x70));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x70, 0x70, 0x70));
    input->setPalette(p);
    input->setAccessibleName(text);
    grid->addWidget(label, row, 0);
    grid->addWidget(input, row, 1);
    return label;
}

bool AskYesNo(const QString &prompt, const QString &title)
{
    return ui::MsgBox(prompt, ui::Buttons::YesNo, ui::Icon::Information, title, 2) == ui::Answer::Yes;
}

EditorWindow::EditorWindow(const QString &name, const QString &title, std::function<void()> loadHeads,
                           QWidget *parent)
    : QDialog(parent), m_loadHeads(std::move(loadHeads))
{
    ui::NameDialog(this, name, title);
    ui::ApplyBackground(this);
}

void EditorWindow::Form_Unload()
{
    TryStep([&] {
        if (m_loadHeads)
            m_loadHeads();
    });
}

void EditorWindow::done(int result)
{
    QDialog::done(result);
    if (m_loaded) {
        m_loaded = false;
        Form_Unload();
    }
}

// A window shown again after closing is loaded again, and tells its opener again when it closes.
void EditorWindow::showEvent(QShowEvent *event)
{
    m_loaded = true;
    QDialog::showEvent(event);
}

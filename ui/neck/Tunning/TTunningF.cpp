#include "ui/neck/Tunning/TTunningF.h"

#include "instrument/NoteCycle.h"
#include "ui/common/Fonts.h"
#include "ui_Tunning.h"

#include <QKeyEvent>

namespace quorlin::ui {

TTunningF::TTunningF(QWidget* parent) :
    QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_ui(std::make_unique<Ui::TTunningF>())
{
    m_ui->setupUi(this);
    setFont(fonts::dialog(11));
    m_ui->Note->setFont(fonts::window());
    connect(m_ui->Up, &QToolButton::clicked, this, &TTunningF::Increase);
    connect(m_ui->Down, &QToolButton::clicked, this, &TTunningF::decrease);
    connect(m_ui->ButtonOk, &QPushButton::clicked, this, &TTunningF::Ferme);
}

TTunningF::~TTunningF() = default;

void TTunningF::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    SetNote();
}

void TTunningF::keyPressEvent(QKeyEvent* event)
{
    // The arrow keys step like the arrow buttons.
    if (event->key() == Qt::Key_Up)
        Increase();
    else if (event->key() == Qt::Key_Down)
        decrease();
    else
        QDialog::keyPressEvent(event);
}

void TTunningF::SetNote()
{
    m_ui->Note->setText(m_note);
}

void TTunningF::Increase()
{
    m_note = QString::fromStdString(instrument::noteAbove(m_note.toStdString()));
    SetNote();
}

void TTunningF::decrease()
{
    m_note = QString::fromStdString(instrument::noteBelow(m_note.toStdString()));
    SetNote();
}

void TTunningF::reject()
{
    m_note = m_given;
    QDialog::reject();
}

void TTunningF::Ferme()
{
    done(1);
}

} // namespace quorlin::ui

#include "ui/importing/TrackDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quorlin::ui {

TrackDialog::TrackDialog(QWidget* parent, const QString& fileName, const files::Song& song) :
    QDialog(parent), m_list(new QTreeWidget(this)),
    m_repeatsOnce(new QCheckBox(QStringLiteral("Keep repeats &written once"), this))
{
    setObjectName(QStringLiteral("TrackDialog"));
    setWindowTitle(QStringLiteral("Import"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(
        QStringLiteral("%1 holds several tracks. Which one becomes the tab?").arg(fileName), this);
    label->setBuddy(m_list);
    layout->addWidget(label);

    m_list->setObjectName(QStringLiteral("TrackList"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({QStringLiteral("Track"), QStringLiteral("Instrument"),
                             QStringLiteral("Strings"), QStringLiteral("Tuning"),
                             QStringLiteral("Notes")});
    const std::vector<files::TrackSummary> tracks = files::listTracks(song);
    const int preferred = files::defaultTrack(song);
    for (const int index : files::trackOrder(song)) {
        const files::TrackSummary& track = tracks[static_cast<std::size_t>(index)];
        auto* item = new QTreeWidgetItem(
            m_list, {QString::fromStdString(track.name), QString::fromStdString(track.instrument),
                     track.strings > 0 ? QString::number(track.strings) : QString(),
                     QString::fromStdString(track.tuning), QString::number(track.notes)});
        item->setData(0, Qt::UserRole, index);
        item->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        if (!track.choosable) {
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
            for (int column = 0; column < m_list->columnCount(); ++column)
                item->setToolTip(column, QString::fromStdString(track.whyNot));
        }
        if (index == preferred)
            m_list->setCurrentItem(item);
    }
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list);

    m_repeatsOnce->setObjectName(QStringLiteral("RepeatsOnce"));
    m_repeatsOnce->setToolTip(QStringLiteral("Unchecked, repeats and endings are played out in "
                                             "the order a player plays them"));
    layout->addWidget(m_repeatsOnce);

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Import"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(preferred >= 0);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::currentItemChanged, this,
            [this, buttons] { buttons->button(QDialogButtonBox::Ok)->setEnabled(chosen() >= 0); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (chosen() >= 0)
            accept();
    });
    layout->addWidget(buttons);
    resize(560, 320);
}

int TrackDialog::chosen() const
{
    const QTreeWidgetItem* item = m_list->currentItem();
    if (item == nullptr || !(item->flags() & Qt::ItemIsEnabled))
        return -1;
    return item->data(0, Qt::UserRole).toInt();
}

bool TrackDialog::repeatsOnce() const
{
    return m_repeatsOnce->isChecked();
}

} // namespace quorlin::ui

#include "ui/recovery/RecoveryDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

namespace quorlin::ui {

namespace {

constexpr int kIndexRole = Qt::UserRole;

QPushButton* button(QDialogButtonBox& box, const QString& text, const char* name,
                    QDialogButtonBox::ButtonRole role)
{
    QPushButton* b = box.addButton(text, role);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

RecoveryDialog::RecoveryDialog(const std::vector<platform::Orphan>& orphans, QWidget* parent) :
    QDialog(parent), m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("RecoveryDialog"));
    setWindowTitle(QStringLiteral("Recover unsaved work"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        orphans.size() == 1
            ? QStringLiteral("Quorlin found work that was not saved when it last stopped.")
            : QStringLiteral("Quorlin found %1 pieces of work that were not saved when it last "
                             "stopped. Restore one; what you leave for later is offered again "
                             "at the next start.")
                  .arg(orphans.size()),
        this);
    text->setWordWrap(true);
    layout->addWidget(text);

    m_list->setObjectName(QStringLiteral("Copies"));
    m_list->setHeaderLabels(
        {QStringLiteral("Saved"), QStringLiteral("Size"), QStringLiteral("Tab")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setUniformRowHeights(true);
    m_list->header()->setStretchLastSection(true);
    std::vector<std::size_t> order(orphans.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return orphans[a].modified > orphans[b].modified;
    });
    const QLocale locale;
    QList<QTreeWidgetItem*> items;
    for (const std::size_t index : order) {
        const platform::Orphan& orphan = orphans[index];
        const QString title = orphan.title();
        auto* item = new QTreeWidgetItem(
            QStringList{locale.toString(orphan.modified, QLocale::ShortFormat),
                        locale.formattedDataSize(orphan.size),
                        title.isEmpty() ? QStringLiteral("(an empty tab)") : title});
        item->setData(0, kIndexRole, QVariant::fromValue<qulonglong>(index));
        item->setToolTip(2, orphan.source.isEmpty()
                                ? orphan.firstWords
                                : orphan.source + QLatin1Char('\n') + orphan.firstWords);
        items << item;
    }
    m_list->addTopLevelItems(items);
    for (int column = 0; column < 2; ++column)
        m_list->resizeColumnToContents(column);
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(this);
    m_restore =
        button(*buttons, QStringLiteral("&Restore"), "Restore", QDialogButtonBox::AcceptRole);
    m_restore->setDefault(true);
    m_discard =
        button(*buttons, QStringLiteral("&Discard"), "Discard", QDialogButtonBox::ActionRole);
    m_later = button(*buttons, QStringLiteral("&Later"), "Later", QDialogButtonBox::ActionRole);
    QPushButton* discardAll = button(*buttons, QStringLiteral("Discard &All"), "DiscardAll",
                                     QDialogButtonBox::ActionRole);
    QPushButton* laterAll =
        button(*buttons, QStringLiteral("All La&ter"), "LaterAll", QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(m_restore, &QPushButton::clicked, this, &RecoveryDialog::restoreChosen);
    connect(m_discard, &QPushButton::clicked, this, [this] { settle(rows(false), true); });
    connect(m_later, &QPushButton::clicked, this, [this] { settle(rows(false), false); });
    connect(discardAll, &QPushButton::clicked, this, [this] { settle(rows(true), true); });
    connect(laterAll, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &RecoveryDialog::updateButtons);
    connect(m_list, &QTreeWidget::itemActivated, this, &RecoveryDialog::restoreChosen);

    if (QTreeWidgetItem* newest = m_list->topLevelItem(0)) {
        m_list->setCurrentItem(newest);
        newest->setSelected(true);
    }
    m_list->setFocus();
    updateButtons();
    resize(640, 360);
}

std::vector<std::size_t> RecoveryDialog::rows(bool all) const
{
    std::vector<std::size_t> out;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (all || item->isSelected())
            out.push_back(item->data(0, kIndexRole).value<qulonglong>());
    }
    return out;
}

void RecoveryDialog::settle(const std::vector<std::size_t>& settled, bool discard)
{
    for (int i = m_list->topLevelItemCount() - 1; i >= 0; --i) {
        const std::size_t index = m_list->topLevelItem(i)->data(0, kIndexRole).value<qulonglong>();
        if (std::find(settled.begin(), settled.end(), index) == settled.end())
            continue;
        if (discard)
            m_decision.discard.insert(index);
        delete m_list->takeTopLevelItem(i);
    }
    if (m_list->topLevelItemCount() == 0) {
        accept();
        return;
    }
    if (m_list->selectedItems().isEmpty()) {
        m_list->setCurrentItem(m_list->topLevelItem(0));
        m_list->topLevelItem(0)->setSelected(true);
    }
    updateButtons();
}

void RecoveryDialog::restoreChosen()
{
    const std::vector<std::size_t> chosen = rows(false);
    // The window holds one tab: one copy at a time.
    if (chosen.size() != 1)
        return;
    m_decision.restore = chosen.front();
    accept();
}

void RecoveryDialog::updateButtons()
{
    const std::size_t chosen = rows(false).size();
    m_restore->setEnabled(chosen == 1);
    m_discard->setEnabled(chosen > 0);
    m_later->setEnabled(chosen > 0);
}

} // namespace quorlin::ui

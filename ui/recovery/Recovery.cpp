#include "ui/recovery/Recovery.h"

#include "ui/common/Prompter.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QProgressDialog>

#include <algorithm>

namespace quorlin::ui {

namespace {

const QString kCaptionRecovery = QStringLiteral("Recover unsaved work");

} // namespace

RestoreProgress::RestoreProgress(const files::Recovered& copy, QWidget* parent)
{
    std::size_t bytes = 0;
    for (const std::string& line : copy.lines)
        bytes += line.size();
    if (bytes < kBusyBytes)
        return;
    m_box = std::make_unique<QProgressDialog>(QStringLiteral("Restoring unsaved work..."),
                                              QString(), 0, 0, parent);
    m_box->setObjectName(QStringLiteral("RestoreProgress"));
    m_box->setWindowTitle(kCaptionRecovery);
    m_box->setWindowModality(Qt::WindowModal);
    m_box->setMinimumDuration(0);
    m_box->show();
    // Painted before the text area takes the time it needs.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

RestoreProgress::~RestoreProgress() = default;

Recovery::Recovery(Prompter& prompter, platform::AutosaveTimer::Provider provider,
                   const QString& folder) :
    m_prompter(prompter),
    m_store(folder.isEmpty() ? platform::RecoveryFolder::defaultFolder() : folder),
    m_autosave(m_store, std::move(provider))
{
    // Said once for the whole run: the user goes on editing either way.
    connect(&m_autosave, &platform::AutosaveTimer::failed, this, [this](const QString& problem) {
        // Without a home the window has said so already.
        if (m_store.folder().isEmpty())
            return;
        emit message(QStringLiteral("No recovery copy: %1").arg(problem));
        if (std::exchange(m_told, true))
            return;
        m_prompter.error(QStringLiteral("Quorlin cannot keep a recovery copy of the tab:\r%1\r"
                                        "You can go on working; save your tab to keep it.")
                             .arg(problem),
                         kCaptionRecovery);
    });
}

RecoveryDialog::Decision Recovery::choose(const std::vector<platform::Orphan>& orphans)
{
    if (m_chooser)
        return m_chooser(orphans);
    RecoveryDialog dialog(orphans, m_parent);
    dialog.exec();
    if (m_parent != nullptr && m_parent->isVisible())
        m_parent->window()->activateWindow();
    return dialog.decision();
}

void Recovery::report(const std::vector<platform::Orphan>& troubled)
{
    // However many there are, the box stays on the screen.
    constexpr qsizetype kShown = 8;
    QStringList damaged, unreadable;
    for (const platform::Orphan& orphan : troubled) {
        const QString line = QStringLiteral("%1, %2: %3")
                                 .arg(QLocale().toString(orphan.modified, QLocale::ShortFormat),
                                      QDir::toNativeSeparators(orphan.path), orphan.problem);
        (orphan.state == platform::Orphan::State::Damaged ? damaged : unreadable) << line;
    }
    const auto listed = [](QStringList lines) {
        const qsizetype more = lines.size() - kShown;
        if (more > 0) {
            lines.erase(lines.begin() + kShown, lines.end());
            lines << QStringLiteral("and %1 more.").arg(more);
        }
        return lines.join(QLatin1Char('\r'));
    };
    QStringList parts;
    if (!damaged.isEmpty())
        parts << (damaged.size() == 1
                      ? QStringLiteral("A recovery copy is damaged and cannot be restored. It is "
                                       "kept aside, with \".damaged\" added to its name:\r%1")
                      : QStringLiteral("%1 recovery copies are damaged and cannot be restored. "
                                       "They are kept aside, with \".damaged\" added to their "
                                       "names:\r%2")
                            .arg(damaged.size()))
                     .arg(listed(damaged));
    if (!unreadable.isEmpty())
        parts << (unreadable.size() == 1
                      ? QStringLiteral("A recovery copy cannot be read. It is left where it is, "
                                       "to be offered once it can be read:\r%1")
                      : QStringLiteral("%1 recovery copies cannot be read. They are left where "
                                       "they are, to be offered once they can be read:\r%2")
                            .arg(unreadable.size()))
                     .arg(listed(unreadable));
    if (!parts.isEmpty())
        m_prompter.error(parts.join(QStringLiteral("\r\r")), kCaptionRecovery);
}

std::optional<files::Recovered> Recovery::offer()
{
    QString problem;
    const std::optional<std::vector<platform::Orphan>> orphans = m_store.orphans(problem);
    if (!orphans && m_store.folder().isEmpty())
        return std::nullopt;
    if (!orphans) {
        emit message(QStringLiteral("Recovery copies cannot be looked for: %1").arg(problem));
        return std::nullopt;
    }
    std::vector<platform::Orphan> sound, troubled;
    for (auto orphan = orphans->rbegin(); orphan != orphans->rend(); ++orphan) {
        if (orphan->state == platform::Orphan::State::Sound) {
            sound.push_back(*orphan);
            continue;
        }
        platform::Orphan told = *orphan;
        if (told.state == platform::Orphan::State::Damaged && !m_store.setAside(told, problem))
            told.problem += QLatin1Char(' ') + problem;
        troubled.push_back(std::move(told));
    }
    report(troubled);
    if (sound.empty())
        return std::nullopt;

    const RecoveryDialog::Decision decision = choose(sound);
    QStringList failed;
    for (const std::size_t index : decision.discard) {
        if (!m_store.discard(sound.at(index), problem))
            failed << problem;
    }
    if (!failed.isEmpty())
        m_prompter.error(failed.join(QLatin1Char('\r')), kCaptionRecovery);
    if (!decision.restore)
        return std::nullopt;

    platform::Orphan chosen = sound.at(*decision.restore);
    std::optional<files::Recovered> recovered = m_store.take(chosen, problem, &chosen.state);
    if (recovered)
        return recovered;
    // Damage the first bytes did not show: the sum of the whole, or a read that failed now.
    chosen.problem = problem;
    if (chosen.state == platform::Orphan::State::Damaged && !m_store.setAside(chosen, problem))
        chosen.problem += QLatin1Char(' ') + problem;
    if (chosen.state == platform::Orphan::State::Sound)
        m_prompter.error(
            QStringLiteral("The recovery copy could not be restored:\r%1").arg(problem),
            kCaptionRecovery);
    else
        report({chosen});
    return std::nullopt;
}

} // namespace quorlin::ui

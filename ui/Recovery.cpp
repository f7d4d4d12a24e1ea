#include "ui/Recovery.h"

#include "ui/Prompter.h"

#include <QDir>
#include <QLocale>

namespace quorlin::ui {

namespace {

const QString kCaptionRecovery = QStringLiteral("Recover unsaved work");

} // namespace

Recovery::Recovery(Prompter& prompter, Autosave::Provider provider, const QString& folder) :
    m_prompter(prompter), m_store(folder.isEmpty() ? RecoveryStore::defaultFolder() : folder),
    m_autosave(m_store, std::move(provider))
{
    // Said once for the whole run: the user goes on editing either way.
    connect(&m_autosave, &Autosave::failed, this, [this](const QString& problem) {
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

std::optional<files::Recovered> Recovery::offer()
{
    QString problem;
    const std::optional<std::vector<Orphan>> orphans = m_store.orphans(problem);
    if (!orphans && m_store.folder().isEmpty())
        return std::nullopt;
    if (!orphans) {
        emit message(QStringLiteral("Recovery copies cannot be looked for: %1").arg(problem));
        return std::nullopt;
    }
    for (auto orphan = orphans->rbegin(); orphan != orphans->rend(); ++orphan) {
        const QString when = QLocale().toString(orphan->modified, QLocale::ShortFormat);
        if (!orphan->problem.isEmpty()) {
            m_store.setAside(*orphan, problem);
            m_prompter.error(
                QStringLiteral("A recovery copy from %1 is damaged and cannot be "
                               "read:\r%2\rIt is kept aside as %3.damaged.")
                    .arg(when, orphan->problem, QDir::toNativeSeparators(orphan->path)),
                kCaptionRecovery);
            continue;
        }
        const int choice = m_prompter.choose(
            QStringLiteral("Quorlin found work that was not saved when it last stopped:\r%1\r"
                           "(%2). Restore it?")
                .arg(orphan->title.isEmpty() ? QStringLiteral("an untitled tab") : orphan->title,
                     when),
            kCaptionRecovery,
            {QStringLiteral("&Restore"), QStringLiteral("&Discard"), QStringLiteral("&Later")});
        if (choice == 1) {
            m_store.discard(*orphan, problem);
        } else if (choice == 0) {
            std::optional<files::Recovered> recovered = m_store.take(*orphan, problem);
            if (recovered)
                return recovered;
            m_prompter.error(
                QStringLiteral("The recovery copy could not be restored:\r%1").arg(problem),
                kCaptionRecovery);
        }
    }
    return std::nullopt;
}

} // namespace quorlin::ui

#include "ui/recovery/RecoveryFeature.h"

#include "ui/recovery/Recovery.h"

namespace quorlin::ui {

RecoveryFeature::RecoveryFeature(QWidget& window, document::Document& document, Prompter& prompter,
                                 const QString& folder) :
    m_window(window),
    m_document(document), m_recovery(std::make_unique<Recovery>(
                              prompter, [&document] { return document.recoveryCopy(); }, folder))
{
    m_recovery->setDialogParent(&window);
    connect(&document, &document::Document::saved, this, [this] { m_recovery->safe(); });
    connect(&document, &document::Document::changed, this, &RecoveryFeature::keepRecoverable);
    connect(m_recovery.get(), &Recovery::message, this, &RecoveryFeature::message);
}

RecoveryFeature::~RecoveryFeature() = default;

void RecoveryFeature::keepRecoverable()
{
    document::Document::Version now = m_document.version();
    if (now == m_lastChange)
        return;
    m_lastChange = std::move(now);
    if (m_document.isEmpty() || m_document.history().isClean())
        m_recovery->safe();
    else
        m_recovery->changed();
}

bool RecoveryFeature::offerRecovery()
{
    const std::optional<files::Recovered> copy = m_recovery->offer();
    if (!copy)
        return false;
    const RestoreProgress progress(*copy, &m_window);
    m_document.restore(*copy);
    return true;
}

void RecoveryFeature::leaving()
{
    m_recovery->safe();
}

} // namespace quorlin::ui

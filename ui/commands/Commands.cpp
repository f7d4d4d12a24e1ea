#include "ui/commands/Commands.h"

#include "tabtext/TabFormat.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <stdexcept>

namespace quorlin::ui {

namespace {

enum class Menu { File, Edit, View, Note, Play, Help };
// Neck: the key works only while the neck has the focus. Toggle is a neck key that is checked
// on and off, Check a choice of the whole window.
enum class Kind { Plain, Neck, Duration, Technique, Toggle, Check };

struct Entry {
    Command command;
    Menu menu;
    const char* text;
    QKeySequence::StandardKey standard; // the platform's key first, where there is one
    const char* keys;                   // more keys, "; " between them
    Kind kind;
    bool separatorBefore = false;
};

// Technique keys are Shift and a letter of the name: the plain letters are the durations and
// Alt opens the menus.
const Entry kEntries[] = {
    {Command::New, Menu::File, "&New", QKeySequence::New, "", Kind::Plain},
    {Command::Open, Menu::File, "&Open...", QKeySequence::Open, "", Kind::Plain},
    {Command::Save, Menu::File, "&Save", QKeySequence::Save, "", Kind::Plain},
    {Command::SaveAs, Menu::File, "Save &As...", QKeySequence::SaveAs, "Ctrl+Shift+S", Kind::Plain},
    {Command::ExportMidi, Menu::File, "Export &MIDI...", QKeySequence::UnknownKey, "Ctrl+E",
     Kind::Plain, true},
    {Command::ExportWav, Menu::File, "Export &WAV...", QKeySequence::UnknownKey, "Ctrl+Shift+E",
     Kind::Plain},
    {Command::ExportMusicXml, Menu::File, "Expor&t MusicXML...", QKeySequence::UnknownKey,
     "Ctrl+Alt+E", Kind::Plain},
    {Command::ExportPdf, Menu::File, "Export P&DF...", QKeySequence::UnknownKey, "Ctrl+Alt+P",
     Kind::Plain},
    {Command::ExportSvg, Menu::File, "Export SV&G...", QKeySequence::UnknownKey, "", Kind::Plain},
    {Command::Import, Menu::File, "&Import...", QKeySequence::UnknownKey, "Ctrl+I", Kind::Plain},
    {Command::Transcribe, Menu::File, "Transcribe r&ecording...", QKeySequence::UnknownKey, "",
     Kind::Plain},
    {Command::ImportTab, Menu::File, "Import we&b tab...", QKeySequence::UnknownKey, "",
     Kind::Plain},
    {Command::Copy, Menu::File, "&Copy tab to clipboard", QKeySequence::UnknownKey, "Ctrl+Shift+C",
     Kind::Plain, true},
    {Command::PageSetup, Menu::File, "Page set&up...", QKeySequence::UnknownKey, "", Kind::Plain,
     true},
    {Command::PrintPreview, Menu::File, "Print pre&view...", QKeySequence::UnknownKey,
     "Ctrl+Shift+P", Kind::Plain},
    {Command::Print, Menu::File, "&Print...", QKeySequence::Print, "", Kind::Plain},
    {Command::Exit, Menu::File, "E&xit", QKeySequence::Quit, "Ctrl+Q", Kind::Plain, true},
    {Command::Undo, Menu::Edit, "&Undo", QKeySequence::Undo, "", Kind::Plain},
    {Command::Redo, Menu::Edit, "&Redo", QKeySequence::Redo, "Ctrl+Shift+Z; Ctrl+Y", Kind::Plain},
    // Columns at the tab cursor: on the neck only, so the text area keeps its own keys.
    {Command::CutColumns, Menu::Edit, "Cu&t columns", QKeySequence::UnknownKey, "Ctrl+X",
     Kind::Neck, true},
    {Command::CopyColumns, Menu::Edit, "&Copy columns", QKeySequence::UnknownKey, "Ctrl+C",
     Kind::Neck},
    {Command::PasteColumns, Menu::Edit, "P&aste columns", QKeySequence::UnknownKey, "Ctrl+V",
     Kind::Neck},
    {Command::SemitoneUp, Menu::Edit, "Up a &semitone", QKeySequence::UnknownKey, "Ctrl+Up",
     Kind::Neck},
    {Command::SemitoneDown, Menu::Edit, "Do&wn a semitone", QKeySequence::UnknownKey, "Ctrl+Down",
     Kind::Neck},
    {Command::OctaveUp, Menu::Edit, "Up an &octave", QKeySequence::UnknownKey, "Ctrl+Shift+Up",
     Kind::Neck},
    {Command::OctaveDown, Menu::Edit, "Down an octa&ve", QKeySequence::UnknownKey,
     "Ctrl+Shift+Down", Kind::Neck},
    {Command::PasteTabAsNotes, Menu::Edit, "&Paste tab as notes", QKeySequence::UnknownKey,
     "Ctrl+Shift+V", Kind::Plain, true},
    {Command::ChangeTuning, Menu::Edit, "Chan&ge tuning or strings...", QKeySequence::UnknownKey,
     "Ctrl+T", Kind::Plain},
    {Command::GoToBar, Menu::Edit, "Go to &bar...", QKeySequence::UnknownKey, "Ctrl+G",
     Kind::Plain},
    {Command::ViewSheet, Menu::View, "&Sheet", QKeySequence::UnknownKey, "F4", Kind::Check},
    // The sheet's zoom, wherever the keys are pressed in the window or the floating sheet.
    {Command::ZoomIn, Menu::View, "Zoom &in", QKeySequence::UnknownKey,
     "Ctrl++; Ctrl+=", Kind::Plain, true},
    {Command::ZoomOut, Menu::View, "Zoom &out", QKeySequence::UnknownKey, "Ctrl+-", Kind::Plain},
    {Command::ZoomFit, Menu::View, "Zoom to &fit", QKeySequence::UnknownKey, "Ctrl+0", Kind::Plain},
    {Command::RepeatLast, Menu::Edit, "Repeat &last", QKeySequence::UnknownKey, "Ctrl+D",
     Kind::Neck, true},
    {Command::DeleteLast, Menu::Edit, "&Delete last", QKeySequence::UnknownKey, "Backspace",
     Kind::Neck},
    {Command::NewLine, Menu::Edit, "&New line", QKeySequence::UnknownKey, "Ctrl+Return; Ctrl+Enter",
     Kind::Neck},
    {Command::WriteNote, Menu::Note, "Write &note", QKeySequence::UnknownKey,
     "Return; Enter; Num+Enter", Kind::Neck},
    {Command::Rest, Menu::Note, "&Rest", QKeySequence::UnknownKey, "R", Kind::Neck},
    {Command::Sixteenth, Menu::Note, "&Sixteenth", QKeySequence::UnknownKey, "S", Kind::Duration,
     true},
    {Command::Eighth, Menu::Note, "&Eighth", QKeySequence::UnknownKey, "E", Kind::Duration},
    {Command::Quarter, Menu::Note, "&Quarter", QKeySequence::UnknownKey, "Q", Kind::Duration},
    {Command::Half, Menu::Note, "&Half", QKeySequence::UnknownKey, "H", Kind::Duration},
    {Command::Whole, Menu::Note, "&Whole", QKeySequence::UnknownKey, "W", Kind::Duration},
    {Command::Dot, Menu::Note, "&Dotted", QKeySequence::UnknownKey, ".", Kind::Toggle},
    {Command::HammerOn, Menu::Note, "Hammer-&on", QKeySequence::UnknownKey, "Shift+H",
     Kind::Technique, true},
    {Command::PullOff, Menu::Note, "P&ull-off", QKeySequence::UnknownKey, "Shift+P",
     Kind::Technique},
    {Command::Slide, Menu::Note, "S&lide", QKeySequence::UnknownKey, "Shift+S", Kind::Technique},
    {Command::Slap, Menu::Note, "Sl&ap", QKeySequence::UnknownKey, "Shift+A", Kind::Technique},
    {Command::Pop, Menu::Note, "Po&p", QKeySequence::UnknownKey, "Shift+O", Kind::Technique},
    {Command::Chord, Menu::Note, "&Chord", QKeySequence::UnknownKey, "Shift+C", Kind::Technique},
    {Command::Triplet, Menu::Note, "&Triplet", QKeySequence::UnknownKey, "Shift+T",
     Kind::Technique},
    {Command::Default, Menu::Note, "De&fault", QKeySequence::UnknownKey, "Shift+D",
     Kind::Technique},
    // The tab cursor: a column of the tab to stand on, or none while notes are appended.
    {Command::TabCursorLeft, Menu::Note, "Tab cursor: previous column", QKeySequence::UnknownKey,
     "Alt+Left", Kind::Neck, true},
    {Command::TabCursorRight, Menu::Note, "Tab cursor: next column", QKeySequence::UnknownKey,
     "Alt+Right", Kind::Neck},
    {Command::TabCursorUp, Menu::Note, "Tab cursor: block above", QKeySequence::UnknownKey,
     "Alt+Up", Kind::Neck},
    {Command::TabCursorDown, Menu::Note, "Tab cursor: block below", QKeySequence::UnknownKey,
     "Alt+Down", Kind::Neck},
    {Command::TabCursorFirst, Menu::Note, "Tab cursor: first column", QKeySequence::UnknownKey,
     "Alt+Home", Kind::Neck},
    {Command::TabCursorEnd, Menu::Note, "Tab cursor off: append", QKeySequence::UnknownKey,
     "Alt+End", Kind::Neck},
    {Command::TabCursorPreviousBar, Menu::Note, "Tab cursor: previous bar",
     QKeySequence::UnknownKey, "Alt+PgUp", Kind::Neck},
    {Command::TabCursorNextBar, Menu::Note, "Tab cursor: next bar", QKeySequence::UnknownKey,
     "Alt+PgDown", Kind::Neck},
    {Command::SelectLeft, Menu::Note, "Select previous column", QKeySequence::UnknownKey,
     "Shift+Alt+Left", Kind::Neck},
    {Command::SelectRight, Menu::Note, "Select next column", QKeySequence::UnknownKey,
     "Shift+Alt+Right", Kind::Neck},
    {Command::InsertNote, Menu::Note, "&Insert note", QKeySequence::UnknownKey, "Ins", Kind::Neck,
     true},
    {Command::DeleteColumn, Menu::Note, "Delete colu&mn", QKeySequence::UnknownKey, "Del",
     Kind::Neck},
    {Command::PlayPause, Menu::Play, "&Play", QKeySequence::UnknownKey, "Space", Kind::Neck},
    {Command::Stop, Menu::Play, "&Stop", QKeySequence::UnknownKey, "Shift+Space", Kind::Neck},
    {Command::Loop, Menu::Play, "&Loop", QKeySequence::UnknownKey, "", Kind::Check, true},
    {Command::Metronome, Menu::Play, "&Metronome click", QKeySequence::UnknownKey, "", Kind::Check},
    {Command::Follow, Menu::Play, "&Follow in the tab", QKeySequence::UnknownKey, "", Kind::Check},
    {Command::SoundFont, Menu::Play, "Sound f&ont...", QKeySequence::UnknownKey, "", Kind::Plain,
     true},
    {Command::Help, Menu::Help, "Quorlin &Help", QKeySequence::HelpContents, "F1", Kind::Plain},
    {Command::KeyboardMap, Menu::Help, "&Keyboard map", QKeySequence::UnknownKey, "Ctrl+F1",
     Kind::Plain},
    {Command::About, Menu::Help, "&About Quorlin", QKeySequence::UnknownKey, "Ctrl+Shift+F1",
     Kind::Plain, true},
};

static_assert(std::size(kEntries) == static_cast<std::size_t>(Command::Count));

QList<QKeySequence> keysOf(const Entry& entry)
{
    QList<QKeySequence> keys;
    if (entry.standard != QKeySequence::UnknownKey)
        keys = QKeySequence::keyBindings(entry.standard);
    for (const QString& key :
         QString::fromLatin1(entry.keys).split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
        const QKeySequence sequence(key, QKeySequence::PortableText);
        if (!keys.contains(sequence))
            keys << sequence;
    }
    return keys;
}

} // namespace

Commands::Commands(QMainWindow& window, QWidget& neck)
{
    QMenuBar& bar = *window.menuBar();
    const std::array<QMenu*, 6> menus{
        bar.addMenu(QStringLiteral("&File")), bar.addMenu(QStringLiteral("&Edit")),
        bar.addMenu(QStringLiteral("&View")), bar.addMenu(QStringLiteral("&Note")),
        bar.addMenu(QStringLiteral("&Play")), bar.addMenu(QStringLiteral("&Help"))};
    auto* durations = new QActionGroup(&window);
    auto* techniques = new QActionGroup(&window);
    for (const Entry& entry : kEntries) {
        QMenu& menu = *menus[static_cast<std::size_t>(entry.menu)];
        if (entry.separatorBefore)
            menu.addSeparator();
        auto* action = new QAction(QString::fromLatin1(entry.text), &window);
        action->setShortcuts(keysOf(entry));
        menu.addAction(action);
        if (entry.kind == Kind::Plain || entry.kind == Kind::Check) {
            // The whole window listens for these keys.
            window.addAction(action);
        } else {
            action->setShortcutContext(Qt::WidgetShortcut);
            neck.addAction(action);
        }
        action->setCheckable(entry.kind == Kind::Duration || entry.kind == Kind::Technique ||
                             entry.kind == Kind::Toggle || entry.kind == Kind::Check);
        if (entry.kind == Kind::Duration)
            durations->addAction(action);
        else if (entry.kind == Kind::Technique)
            techniques->addAction(action);
        m_actions[static_cast<std::size_t>(entry.command)] = action;
    }
    m_recent = new QMenu(QStringLiteral("Open &Recent"), &window);
    m_recent->setObjectName(QStringLiteral("RecentMenu"));
    menus[static_cast<std::size_t>(Menu::File)]->insertMenu((*this)[Command::Save], m_recent);
}

QString Commands::keyText(Command command) const
{
    return (*this)[command]->shortcut().toString(QKeySequence::NativeText);
}

void Commands::bind(QAbstractButton& button, Command command) const
{
    const QString hint = button.toolTip();
    const QString key = keyText(command);
    button.setToolTip(hint.isEmpty() ? key : hint + QStringLiteral(" (") + key + u')');
    QAction* action = (*this)[command];
    if (!button.isCheckable() || !action->isCheckable())
        return;
    action->setChecked(button.isChecked());
    QObject::connect(action, &QAction::triggered, &button, [&button](bool checked) {
        if (button.isEnabled())
            button.setChecked(checked);
    });
    // One of a group is unchecked by the group when another is checked.
    QObject::connect(&button, &QAbstractButton::toggled, action, [action](bool checked) {
        if (checked || action->actionGroup() == nullptr)
            action->setChecked(checked);
    });
}

static_assert(static_cast<std::size_t>(Command::Whole) -
                  static_cast<std::size_t>(Command::Sixteenth) + 1 ==
              tabtext::kDurationSymbols.size());

Command durationCommand(char symbol)
{
    // The five commands follow the palette's order, which is the duration letters' order.
    const std::size_t at = tabtext::kDurationSymbols.find(symbol);
    if (at == std::string_view::npos)
        throw std::out_of_range(std::string("No duration '") + symbol + "'");
    return static_cast<Command>(static_cast<std::size_t>(Command::Sixteenth) + at);
}

} // namespace quorlin::ui

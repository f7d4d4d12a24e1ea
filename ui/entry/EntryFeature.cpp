#include "ui/entry/EntryFeature.h"

#include "document/Document.h"
#include "ui/commands/CommandRouter.h"
#include "ui/common/Prompter.h"
#include "ui/common/StatusTexts.h"
#include "ui/common/TextMarks.h"
#include "ui/entry/ColumnClipboard.h"
#include "ui/neck/NeckWidget.h"
#include "ui/neck/RestPanel.h"
#include "ui/neck/Tunning/TTunningF.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>

#include <algorithm>
#include <limits>

namespace quorlin::ui {

namespace {

// The commands of the neck's choices, in the order of engine::kNeckChoices.
constexpr Command kChoiceCommands[] = {Command::Default, Command::HammerOn, Command::PullOff,
                                       Command::Slide,   Command::Slap,     Command::Pop,
                                       Command::Chord,   Command::Triplet};
static_assert(std::size(kChoiceCommands) == std::size(engine::kNeckChoices));

// The width field reads as 0 while it holds no number, an empty field included.
int readWidth(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

// The tuning pop-up opens this far right of the point it is given, clear of the pointer.
constexpr int kPopupGap = 16;

} // namespace

EntryFeature::EntryFeature(document::Document& document, CommandRouter& router, Prompter& prompter,
                           EntryControls controls) :
    m_document(document),
    m_commands(router.commands()), m_prompter(prompter), m_c(std::move(controls)),
    m_chord(m_c.techniques.at(5)), m_triplet(m_c.techniques.at(6))
{
    m_c.width->setRange(std::numeric_limits<int>::min(), engine::kMaxTabWidth);
    m_c.strings->setRange(instrument::kMinStrings, instrument::kMaxStrings);

    router.handle(Command::NewLine, this, [this] { JumpLine(); });
    router.handle(Command::RepeatLast, this, [this] { RepeatLast(); });
    // On a column, Backspace takes out the one before it; appending, it is "<-".
    router.handle(Command::DeleteLast, this, [this] {
        if (m_document.tabCursor())
            report(m_document.deleteBeforeCursor());
        else
            GoBack();
    });
    router.handle(Command::WriteNote, this, [this] { writeNoteAtCursor(); });
    router.handle(Command::Rest, this, [this] {
        if (m_document.tabCursor())
            report(m_document.restAtCursor(m_duration, m_c.dot->isChecked()));
        else
            setRest(m_duration);
    });
    for (const Command command :
         {Command::TabCursorLeft, Command::TabCursorRight, Command::TabCursorUp,
          Command::TabCursorDown, Command::TabCursorFirst, Command::TabCursorEnd,
          Command::TabCursorPreviousBar, Command::TabCursorNextBar, Command::SelectLeft,
          Command::SelectRight})
        router.handle(command, this, [this, command] { moveTabCursor(command); });
    router.handle(Command::GoToBar, this, [this] { goToBar(); });
    router.handle(Command::InsertNote, this, [this] { insertNote(); });
    router.handle(Command::DeleteColumn, this, [this] { report(m_document.deleteAtCursor()); });
    router.handle(Command::CopyColumns, this, [this] { copyColumns(); });
    router.handle(Command::CutColumns, this, [this] {
        if (m_document.tabCursor()) {
            copyColumns();
            report(m_document.deleteAtCursor(true));
        }
    });
    router.handle(Command::PasteColumns, this, [this] { pasteColumns(); });
    for (const auto& [command, semitones] :
         {std::pair{Command::SemitoneUp, 1}, std::pair{Command::SemitoneDown, -1},
          std::pair{Command::OctaveUp, 12}, std::pair{Command::OctaveDown, -12}})
        router.handle(command, this, [this, semitones] { transpose(semitones); });
    const Commands& commands = router.commands();
    for (const auto& [button, command] :
         {std::pair{m_c.newLine, Command::NewLine}, std::pair{m_c.repeat, Command::RepeatLast},
          std::pair{m_c.back, Command::DeleteLast}})
        commands.bind(*button, command);
    connect(m_c.newLine, &QPushButton::clicked, this, &EntryFeature::JumpLine);
    connect(m_c.repeat, &QPushButton::clicked, this, &EntryFeature::RepeatLast);
    connect(m_c.back, &QPushButton::clicked, this, &EntryFeature::GoBack);

    connect(m_c.neck, &NeckWidget::durationDropped, this, &EntryFeature::Dropped);
    connect(m_c.neck, &NeckWidget::pressed, this, &EntryFeature::MouseDown);
    connect(m_c.neck, &NeckWidget::noteRequested, this,
            [this](int fret, int string) { placeNote(fret, string, m_duration); });
    connect(m_c.rests, &RestPanel::durationDropped, this, &EntryFeature::setRest);
    // The spin box reports its arrows but stays silent while its field holds no number; its
    // editor reports every keystroke but not the arrows. Between them every change arrives.
    connect(m_c.width, &QSpinBox::textChanged, this, &EntryFeature::ChangeMaxLength);
    auto* widthField = m_c.width->findChild<QLineEdit*>();
    connect(widthField, &QLineEdit::textChanged, this, &EntryFeature::ChangeMaxLength);
    // Only values inside the spin box's bounds are reported, so no count past six arrives.
    connect(m_c.strings, &QSpinBox::valueChanged, this, &EntryFeature::StringsChange);
    // Text typed into a free set-up is written at the width the field shows.
    connect(&m_document, &document::Document::setupLockedByHand, this,
            [this] { ChangeMaxLength(m_c.width->text()); });
    connect(&m_document, &document::Document::setupReplaced, this, &EntryFeature::showSetup);

    // A palette button clicked without a drag selects its duration, as its key does. A
    // group of their own: checkable buttons left to exclude each other would also take the
    // radio buttons' checks, which share the window as ancestor.
    auto* palette = new QButtonGroup(this);
    std::vector<std::pair<QAbstractButton*, Command>> choices;
    for (QPushButton* button : m_c.palette) {
        button->setCheckable(true);
        palette->addButton(button);
        const char symbol = button->text().at(0).toLatin1();
        connect(button, &QAbstractButton::toggled, this, [this, symbol](bool on) {
            if (on)
                m_duration = symbol;
            emit choiceChanged();
        });
        router.choose(*button, durationCommand(symbol));
        choices.emplace_back(button, durationCommand(symbol));
    }
    m_c.palette.at(2)->setChecked(true);

    // The radio buttons and the dot are the menu's choices too.
    const std::size_t checks = choices.size();
    choices.emplace_back(m_c.dot, Command::Dot);
    for (std::size_t i = 0; i < m_c.techniques.size(); ++i)
        choices.emplace_back(m_c.techniques[i], kChoiceCommands[i + 1]);
    choices.emplace_back(m_c.plain, Command::Default);
    for (std::size_t i = checks; i < choices.size(); ++i) {
        const auto& [button, command] = choices[i];
        router.choose(*button, command);
        connect(button, &QAbstractButton::toggled, this, &EntryFeature::choiceChanged);
    }
    // With the tab cursor on a column, a choice changes that column too, made with its key,
    // its menu item or its button alike. A click reaches the button, a key the action: each
    // checks the other without the signal that would change the column twice.
    for (const auto& [button, command] : choices) {
        connect(m_commands[command], &QAction::triggered, this,
                [this, command] { choiceAtCursor(command); });
        connect(button, &QAbstractButton::clicked, this,
                [this, command] { choiceAtCursor(command); });
    }
    // Chosen with the mouse, the next note is still typed on the neck.
    for (QAbstractButton* button : m_c.area->findChildren<QAbstractButton*>()) {
        if (button->isCheckable())
            connect(button, &QAbstractButton::clicked, this, &EntryFeature::giveKeysToNeck);
    }
    // Escape gives the keyboard back to the note cursor, from anywhere in the window.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_c.area->window());
    // Pressed on the neck itself, it also leaves the tab cursor for appending. One shortcut
    // for both: a second one on the neck would make the key ambiguous there.
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_c.neck->hasFocus())
            m_document.setTabCursor(std::nullopt);
        giveKeysToNeck();
    });

    connect(&m_document, &document::Document::tabCursorMoved, this, [this] {
        showTabCursor();
        revealTabCursor();
    });
    connect(&m_document, &document::Document::changed, this, &EntryFeature::showTabCursor);
    m_c.text->viewport()->installEventFilter(this);
}

void EntryFeature::choiceAtCursor(Command command)
{
    const std::optional<int> at = m_document.tabCursor();
    if (!at)
        return;
    if (command == Command::Dot) {
        // The column's own dot toggles: the box may have been checked for the next note.
        const engine::Column& column = m_document.columns().at(static_cast<std::size_t>(*at));
        report(m_document.durationAtCursor(column.symbol(), !column.dotted));
        return;
    }
    // Chord only chooses how the next note joins a column.
    for (std::size_t i = 0; i < std::size(kChoiceCommands); ++i) {
        const engine::NeckChoice& choice = engine::kNeckChoices[i];
        if (kChoiceCommands[i] == command && choice.entry != engine::Entry::Chord) {
            report(m_document.techniqueAtCursor(choice.technique, choice.entry));
            return;
        }
    }
    for (const char symbol : tabtext::kDurationSymbols) {
        if (command == durationCommand(symbol))
            report(m_document.durationAtCursor(symbol, m_c.dot->isChecked()));
    }
}

void EntryFeature::moveTabCursor(Command command)
{
    const std::vector<engine::Column>& columns = m_document.columns();
    const int count = static_cast<int>(columns.size());
    if (count == 0 && !m_document.columnsProblem().empty()) {
        // Else the keys would do nothing, and nothing would say why.
        emit message(QStringLiteral("The tab cursor needs the tab as Quorlin writes it: %1. Notes "
                                    "are added at the end.")
                         .arg(QString::fromStdString(m_document.columnsProblem())));
        return;
    }
    // A hand edit not taken in yet may have left fewer columns than the cursor's number.
    std::optional<int> at = m_document.tabCursor();
    if (at && *at >= count)
        at.reset();
    std::optional<int> to = at;
    // Appending stands after the last column, in the last block.
    const int here = at.value_or(count);
    const int block = at ? columns[*at].block : (count > 0 ? columns.back().block : 0);
    const int inBlock = at ? columns[*at].indexInBlock : std::numeric_limits<int>::max();
    // The column of block `wanted` numbered as the cursor's, or that block's last one.
    const auto inBlockOf = [&](int wanted) -> std::optional<int> {
        std::optional<int> found;
        for (int i = 0; i < count && columns[i].block <= wanted; ++i) {
            if (columns[i].block == wanted && columns[i].indexInBlock <= inBlock)
                found = i;
        }
        return found;
    };
    switch (command) {
    case Command::TabCursorLeft:
    case Command::SelectLeft:
        to = count > 0 ? std::optional(std::max(here - 1, 0)) : std::nullopt;
        break;
    case Command::TabCursorRight:
        to = at && *at + 1 < count ? std::optional(*at + 1) : std::nullopt;
        break;
    case Command::SelectRight:
        // A selection ends at the last column; appending is no column to take in.
        to = at ? std::optional(std::min(*at + 1, count - 1)) : std::nullopt;
        break;
    case Command::TabCursorUp:
        if (const std::optional<int> above = block > 0 ? inBlockOf(block - 1) : std::nullopt)
            to = above;
        break;
    case Command::TabCursorDown:
        // Below the last block the next note is appended.
        if (at)
            to = block < columns.back().block ? inBlockOf(block + 1) : std::nullopt;
        break;
    case Command::TabCursorFirst:
        to = count > 0 ? std::optional(0) : std::nullopt;
        break;
    case Command::TabCursorNextBar:
    case Command::TabCursorPreviousBar: {
        const std::vector<std::int64_t> starts = engine::columnStarts(columns);
        const model::TimeSignature time = m_document.state().time;
        const auto from = static_cast<std::size_t>(here);
        const std::optional<std::size_t> column =
            command == Command::TabCursorNextBar ? engine::nextBarColumn(starts, from, time)
                                                 : engine::previousBarColumn(starts, from, time);
        // Past the last bar the next note is appended, as past the last column.
        to = column ? std::optional(static_cast<int>(*column)) : std::nullopt;
        if (command == Command::TabCursorPreviousBar && !column)
            to = at;
        break;
    }
    default:
        to.reset();
        break;
    }
    m_document.setTabCursor(to, command == Command::SelectLeft || command == Command::SelectRight);
}

void EntryFeature::goToBar()
{
    const std::vector<engine::Column>& columns = m_document.columns();
    if (columns.empty()) {
        const std::string& problem = m_document.columnsProblem();
        emit message(problem.empty()
                         ? QStringLiteral("No bars yet: the tab holds no notes or rests")
                         : QStringLiteral("The tab cursor needs the tab as Quorlin writes it: %1")
                               .arg(QString::fromStdString(problem)));
        return;
    }
    const std::vector<std::int64_t> starts = engine::columnStarts(columns);
    const model::TimeSignature time = m_document.state().time;
    const auto bars = static_cast<int>(
        std::min<std::int64_t>(engine::barCount(starts, time), std::numeric_limits<int>::max()));
    const std::optional<int> at = m_document.tabCursor();
    const std::int64_t here = at && *at < static_cast<int>(columns.size())
                                  ? starts[static_cast<std::size_t>(*at)]
                                  : starts.back() - 1;
    const auto current =
        static_cast<int>(std::clamp<std::int64_t>(model::barBeatAt(here, time).bar, 1, bars));
    const std::optional<int> bar = m_prompter.askNumber(
        QStringLiteral("Bar, 1 to %1:").arg(bars), QStringLiteral("Go to bar"), current, 1, bars);
    giveKeysToNeck();
    if (!bar)
        return;
    if (const std::optional<std::size_t> column = engine::barColumn(starts, *bar, time))
        m_document.setTabCursor(static_cast<int>(*column));
}

void EntryFeature::showTabCursor()
{
    const std::optional<int> at = m_document.tabCursor();
    QList<QTextEdit::ExtraSelection> marks;
    // While appending, notes come one after another: the columns are not read for them.
    if (!at) {
        m_c.marks->set(TextMarks::Layer::TabCursor, std::move(marks));
        return;
    }
    const std::vector<engine::Column>& columns = m_document.columns();
    const int lines = tabtext::blockLineCount(m_document.state().stringCount.value());
    QTextDocument& text = *m_c.text->document();
    const auto mark = [&](const engine::Column& column, const QTextCharFormat& look) {
        for (int line = column.firstLine; line < column.firstLine + lines; ++line) {
            const QTextBlock block = text.findBlockByNumber(line);
            const int length = block.length() - 1;
            if (!block.isValid() || column.character >= length)
                continue;
            QTextEdit::ExtraSelection mark{QTextCursor(block), look};
            mark.cursor.setPosition(block.position() + column.character);
            mark.cursor.setPosition(
                block.position() +
                    std::min(length, column.character + static_cast<int>(tabtext::kCellWidth)),
                QTextCursor::KeepAnchor);
            marks << mark;
        }
    };
    const QColor highlight = m_c.text->palette().color(QPalette::Highlight);
    QTextCharFormat cursor;
    cursor.setBackground(highlight);
    cursor.setForeground(m_c.text->palette().color(QPalette::HighlightedText));
    // The rest of a selection in a lighter shade, the cursor's column standing out.
    QColor light = highlight;
    light.setAlpha(80);
    QTextCharFormat selected;
    selected.setBackground(light);
    if (const auto range = m_document.selection()) {
        for (int c = range->first; c < range->second; ++c) {
            if (c != *at)
                mark(columns.at(static_cast<std::size_t>(c)), selected);
        }
    }
    mark(columns.at(static_cast<std::size_t>(*at)), cursor);
    m_c.marks->set(TextMarks::Layer::TabCursor, std::move(marks));
}

void EntryFeature::revealTabCursor()
{
    const std::optional<int> at = m_document.tabCursor();
    if (!at)
        return;
    // The whole block of the column in sight, scrolled as little as it takes; the user's
    // caret stays where it is. Worked out in lines and characters: blocks out of sight have
    // no layout to ask.
    const engine::Column& column = m_document.columns().at(static_cast<std::size_t>(*at));
    const int lines = tabtext::blockLineCount(m_document.state().stringCount.value());
    const QFontMetrics metrics = m_c.text->fontMetrics();
    const QRect view = m_c.text->viewport()->rect();
    // The vertical bar counts lines: its value is the first line in sight.
    QScrollBar& vertical = *m_c.text->verticalScrollBar();
    // A line's height as laid out: the top line in sight and the one under it.
    const QTextCursor top = m_c.text->cursorForPosition(QPoint(0, 0));
    QTextCursor under = top;
    int lineHeight = metrics.lineSpacing();
    if (under.movePosition(QTextCursor::NextBlock))
        lineHeight = m_c.text->cursorRect(under).top() - m_c.text->cursorRect(top).top();
    const int inSight = std::max(1, view.height() / std::max(1, lineHeight));
    const int last = column.firstLine + lines - 1;
    if (column.firstLine < vertical.value())
        vertical.setValue(column.firstLine);
    else if (last >= vertical.value() + inSight)
        vertical.setValue(std::min(column.firstLine, last - inSight + 1));
    QScrollBar& horizontal = *m_c.text->horizontalScrollBar();
    const int advance = metrics.horizontalAdvance(QLatin1Char('-'));
    const int left =
        static_cast<int>(m_c.text->document()->documentMargin()) + column.character * advance;
    const int right = left + static_cast<int>(tabtext::kCellWidth) * advance;
    if (left < horizontal.value())
        horizontal.setValue(left);
    else if (right > horizontal.value() + view.width())
        horizontal.setValue(right - view.width());
}

std::optional<int> EntryFeature::columnAt(QPoint point) const
{
    const QTextCursor place = m_c.text->cursorForPosition(point);
    const int line = place.blockNumber();
    // The character under the pointer, not the gap nearest to it.
    const QRect caret = m_c.text->cursorRect(place);
    const int character = place.positionInBlock() - (point.x() < caret.x() ? 1 : 0);
    const int lines = tabtext::blockLineCount(m_document.state().stringCount.value());
    const std::vector<engine::Column>& columns = m_document.columns();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const engine::Column& c = columns[i];
        if (line >= c.firstLine && line < c.firstLine + lines && character >= c.character &&
            character < c.character + static_cast<int>(tabtext::kCellWidth))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

bool EntryFeature::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_c.text->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton && press->modifiers() == Qt::AltModifier) {
            if (const std::optional<int> at = columnAt(press->position().toPoint())) {
                m_document.setTabCursor(at);
                giveKeysToNeck();
                // The user's caret and selection stay where they were.
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void EntryFeature::giveKeysToNeck()
{
    m_c.neck->setFocus(Qt::OtherFocusReason);
}

void EntryFeature::JumpLine()
{
    m_document.newLine();
}

void EntryFeature::ChangeMaxLength(const QString& text)
{
    m_document.setTabWidth(readWidth(text));
}

void EntryFeature::StringsChange(int value)
{
    m_document.setStringCount(value);
}

engine::Drop EntryFeature::drop(int fret, int string, char symbol) const
{
    engine::Drop drop{fret, string, symbol, engine::Technique::Plain, m_c.dot->isChecked()};
    // The radios are the neck's choices after the plain note, which none of them checked is.
    for (std::size_t i = 0; i < m_c.techniques.size(); ++i) {
        if (m_c.techniques[i]->isChecked()) {
            drop.technique = engine::kNeckChoices[i + 1].technique;
            drop.entry = engine::kNeckChoices[i + 1].entry;
        }
    }
    return drop;
}

void EntryFeature::Dropped(QPoint point, char symbol)
{
    placeNote(m_c.neck->columnAt(point.x()), m_c.neck->rowAt(point.y()), symbol);
}

void EntryFeature::writeNoteAtCursor()
{
    const QPoint cell = m_c.neck->cursorCell();
    placeNote(cell.x(), cell.y(), m_duration);
}

void EntryFeature::placeNote(int fret, int string, char symbol)
{
    const engine::Drop drop = this->drop(fret, string, symbol);
    // On a column, the note takes its place.
    if (m_document.tabCursor())
        report(m_document.replaceAtCursor(drop));
    else
        report({m_document.placeNote(drop), {}, {}});
}

void EntryFeature::insertNote()
{
    const QPoint cell = m_c.neck->cursorCell();
    report(m_document.insertAtCursor(drop(cell.x(), cell.y(), m_duration)));
}

void EntryFeature::copyColumns()
{
    const std::vector<engine::Column> run = m_document.copyAtCursor();
    if (run.empty()) {
        emit message(QStringLiteral("No columns to copy: Alt+Left puts the tab cursor on one"));
        return;
    }
    QGuiApplication::clipboard()->setMimeData(columnsMimeData(run, m_document.state()));
}

void EntryFeature::pasteColumns()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const std::optional<std::vector<engine::Column>> run =
        data != nullptr ? columnsFrom(*data, m_document.state()) : std::nullopt;
    if (!run) {
        emit message(QStringLiteral("The clipboard holds no columns of tab for these strings "
                                    "and this tuning"));
        return;
    }
    report(m_document.paste(*run));
}

void EntryFeature::transpose(int semitones)
{
    if (!m_document.tabCursor()) {
        emit message(QStringLiteral("Nothing to move: put the tab cursor on a column, "
                                    "Shift+Alt+Left selects more"));
        return;
    }
    report(m_document.transposeAtCursor(semitones));
}

void EntryFeature::report(const document::Document::Edited& edited)
{
    const engine::EditingState& s = m_document.state();
    // Read only when a column is named: every note appended passes here.
    const auto columns = [this]() -> const std::vector<engine::Column>& {
        return m_document.columns();
    };
    const auto place = [&](std::size_t at, const engine::ColumnNote& note) {
        const std::span<const engine::Column> all = columns();
        at = std::min(at, all.size());
        engine::Column column = at < all.size() ? all[at] : engine::Column{};
        column.notes = {note};
        return columnText(s, column, engine::columnStarts(all.first(at)).back());
    };
    // The window shows what the refusal left (the marker, a filled block) behind the box.
    switch (edited.outcome) {
    case engine::DropOutcome::SlideRefused:
        m_prompter.error(QStringLiteral("Can't slide from one string to another"),
                         QStringLiteral("You're too strong"));
        break;
    case engine::DropOutcome::NoNoteBefore:
        m_prompter.error(QStringLiteral("Can't hammer on or pull off from another string"),
                         QStringLiteral("You're too strong"));
        break;
    case engine::DropOutcome::ChordRefused:
        ChordError();
        break;
    default:
        break;
    }
    if (!edited.misfits.empty()) {
        QStringList notes;
        for (const auto& [at, note] : edited.misfits)
            notes << place(at, note);
        m_prompter.inform(QStringLiteral("Nothing was moved: these notes would fit nowhere on "
                                         "the neck.\n\n") +
                              notes.join(u'\n'),
                          QStringLiteral("Transpose"));
    }
    if (!edited.turnedPlain.empty()) {
        QStringList where;
        for (const int at : edited.turnedPlain) {
            if (at >= 0 && at < static_cast<int>(columns().size()))
                where << columnText(s, columns(), static_cast<std::size_t>(at));
        }
        emit message((where.size() == 1 ? QStringLiteral("A plain note now, with no note before "
                                                         "it on its string: ")
                                        : QStringLiteral("Plain notes now, with no note before "
                                                         "them on their strings: ")) +
                     where.join(QStringLiteral("; ")));
    }
}

void EntryFeature::ChordError()
{
    m_prompter.inform(QStringLiteral("Can't make a chord with \rdifferent durations or\ror "
                                     "with notes on the same string !"),
                      QStringLiteral("Error !"));
}

void EntryFeature::MouseDown(Qt::MouseButton button, QPoint point)
{
    const engine::EditingState& s = m_document.state();
    if (button != Qt::RightButton || !s.setupUnlocked || m_tuningPopup == nullptr)
        return;
    const int column = m_c.neck->columnAt(point.x());
    const int row = m_c.neck->rowAt(point.y());
    // Only a string's name, or its first fret, opens the pop-up.
    if (column < 0 || column > 1 || row < 1 || row > s.stringCount.value())
        return;

    // The grid point is taken as a point of the designed area, which puts the pop-up up and
    // to the left of the pointer by the grid's offset: just beside the string names.
    const QPoint screen = m_c.area->mapToGlobal(point);
    m_tuningPopup->setpNote(QString::fromStdString(s.tuning.at(row)));
    m_tuningPopup->move(screen.x() + kPopupGap, screen.y());
    if (m_tuningPopup->exec() != QDialog::Accepted)
        return;
    m_document.retuneString(row, m_tuningPopup->pNote().toStdString());
}

void EntryFeature::setRest(char symbol)
{
    m_document.setRest(symbol, m_c.dot->isChecked());
}

void EntryFeature::RepeatLast()
{
    m_document.repeatLast(m_triplet->isChecked());
}

void EntryFeature::GoBack()
{
    m_document.deleteLast();
}

void EntryFeature::showSetup()
{
    const engine::EditingState& s = m_document.state();
    auto* widthField = m_c.width->findChild<QLineEdit*>();
    const QSignalBlocker quietWidth(m_c.width);
    const QSignalBlocker quietField(widthField);
    const QSignalBlocker quietStrings(m_c.strings);
    // A field that reads as the engine's width already keeps what the user typed.
    if (readWidth(m_c.width->text()) != s.tabWidth)
        m_c.width->setValue(s.tabWidth);
    m_c.strings->setValue(s.stringCount.value());
}

void EntryFeature::followState()
{
    const engine::EditingState& s = m_document.state();
    m_c.width->setEnabled(s.setupUnlocked);
    m_c.strings->setEnabled(s.setupUnlocked);
    m_chord->setEnabled(s.chordAvailable);
    m_commands[Command::Chord]->setEnabled(s.chordAvailable);
    // A chord left checked after "Clear tab" could never be unchecked by its own button.
    if (!s.chordAvailable && m_chord->isChecked())
        m_c.plain->setChecked(true);
}

QString EntryFeature::choice() const
{
    const QAbstractButton* chosen = m_c.plain->isChecked() ? m_c.plain : nullptr;
    for (const QRadioButton* radio : m_c.techniques) {
        if (radio->isChecked())
            chosen = radio;
    }
    return choiceText(m_duration, m_c.dot->isChecked(),
                      chosen != nullptr ? chosen->text() : QString());
}

} // namespace quorlin::ui

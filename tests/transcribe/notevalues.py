"""Written note values in ticks, shared by the generator and the scorer."""

TICKS_PER_QUARTER = 3840

LETTER_TICKS = {
    "w": 4 * TICKS_PER_QUARTER,
    "h": 2 * TICKS_PER_QUARTER,
    "q": TICKS_PER_QUARTER,
    "e": TICKS_PER_QUARTER // 2,
    "s": TICKS_PER_QUARTER // 4,
}


def ticks_of(letter, dotted=False, triplet=False):
    ticks = LETTER_TICKS[letter]
    if dotted:
        ticks = ticks * 3 // 2
    if triplet:
        ticks = ticks * 2 // 3
    return ticks


# Every value a line may be written in, by its ticks; a triplet is never dotted here.
WRITTEN = {
    ticks_of(letter, dotted, triplet): (letter, dotted, triplet)
    for letter in LETTER_TICKS
    for dotted, triplet in ((False, False), (True, False), (False, True))
}


def written_of(ticks):
    """(letter, dotted, triplet) of a length in ticks, or None when no single value has it."""
    return WRITTEN.get(int(ticks))

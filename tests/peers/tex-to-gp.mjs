// Writes a Guitar Pro 7 file (.gp) from AlphaTex text with alphaTab, for fixtures of the
// newer format that no Quorlin code has written.
//   node tex-to-gp.mjs IN.tex OUT.gp
import { readFileSync, writeFileSync } from 'node:fs';
import * as alphaTab from '@coderline/alphatab';

const settings = new alphaTab.Settings();
const importer = new alphaTab.importer.AlphaTexImporter();
importer.initFromString(readFileSync(process.argv[2], 'utf8'), settings);
let score;
try {
    score = importer.readScore();
} catch (e) {
    // The parser's own words on where the text went wrong.
    const bags = [e.cause?.lexerDiagnostics, e.cause?.parserDiagnostics, e.cause?.semanticDiagnostics];
    for (const item of bags.flatMap((bag) => bag?.items ?? [])) {
        console.error(`${process.argv[2]}:${item.start.line}:${item.start.col}: ${item.message}`);
    }
    process.exit(1);
}
writeFileSync(process.argv[3], new alphaTab.exporter.Gp7Exporter().export(score, settings));

// How the editor is laid out in the window. Wide enough: the whole editor,
// scaled down to the window's height if need be, beside a column of the
// page's own controls. Narrower than the editor: its sections cut into
// tiles, generators first, scaled up so that the knobs' labels are at least
// kLeastLabel CSS pixels tall, as many side by side as fit.

export const kKeyboardTile = 'keys';

// The side column of toolbar, strip and status beside the whole editor.
export const kSideColumn = 300;
// Below this scale the whole editor is no longer worth showing in one piece.
const kLeastWholeScale = 0.75;
// The knobs' labels are capitals 7 editor pixels tall.
export const kLabelHeight = 7;
export const kLeastLabel = 11;
const kLeastTileScale = kLeastLabel / kLabelHeight;
const kMostTileScale = 2;
// The widest tile, in editor pixels.
const kWidestTile = 228;
// The page's margins beside the tiles, in CSS pixels.
const kMargins = 12;
// White keys are 10 editor pixels wide: 40 CSS pixels to touch.
export const kKeyboardScale = 4;
// Middle C's left edge on the editor's keyboard, which a narrow page's keys
// show first: the keyboard's left edge, four octaves of 70 pixels up.
export const kMiddleCLeft = 138 + 4 * 70;

// The editor's sections as tiles: a name, the rows they take (top, bottom)
// and their parts, column spans shown side by side (a row's labels beside
// the knobs further along it).
const kRowLabels = [0, 32];
const kTiles = [
    ['generators', 539, 662, [[145, 369]]],
    ['generators', 548, 662, [[369, 585]]],
    ['generators', 548, 662, [[585, 702]]],
    ['mutation', 552, 634, [[26, 110]]],
    ['slots', 236, 276, [[244, 472]]],
    ['slots', 236, 276, [[472, 606]]],
    [kKeyboardTile, 700, 768, [[134, 712]]],
    ['about', 666, 702, [[310, 536]]],
    ['oscillators', 0, 236, [[0, 176]]],
    ['oscillators', 26, 236, [kRowLabels, [176, 320]]],
    ['oscillators', 26, 236, [kRowLabels, [320, 464]]],
    ['oscillators', 26, 236, [kRowLabels, [464, 608]]],
    ['output', 0, 250, [[676, 828]]],
    ['noise', 236, 374, [[44, 248]]],
    ['pitch sweep', 280, 374, [[318, 536]]],
    ['pitch sweep', 298, 374, [[536, 752]]],
    ['pitch sweep', 298, 374, [[752, 828]]],
    ['envelopes', 378, 540, [[0, 176]]],
    ['envelopes', 398, 540, [kRowLabels, [176, 320]]],
    ['envelopes', 398, 540, [kRowLabels, [320, 394]]],
    ['filters', 378, 540, [[462, 682]]],
    ['pitch jump', 378, 662, [[700, 828]]],
];

// { mode, tiles: [{ name, top, bottom, parts, scale }] } for a window of
// width × height CSS pixels; mode 'wide' (the editor beside the side
// column), 'tall' (the page's controls above and below it) or 'narrow'.
export function arrangement(editorWidth, editorHeight, width, height) {
    const whole = (scale) => [{ name: 'editor', top: 0, bottom: editorHeight, parts: [[0, editorWidth]], scale }];
    const fit = Math.min(1, height / editorHeight, (width - kSideColumn) / editorWidth);
    if (fit >= kLeastWholeScale)
        return { mode: 'wide', tiles: whole(fit) };
    if (width >= editorWidth)
        return { mode: 'tall', tiles: whole(1) };
    const room = width - kMargins;
    const columns = Math.max(1, Math.floor(room / (kWidestTile * kLeastTileScale)));
    const scale = Math.min(kMostTileScale, Math.max(kLeastTileScale, room / (columns * kWidestTile)));
    return {
        mode: 'narrow',
        tiles: kTiles.map(([name, top, bottom, parts]) =>
            ({ name, top, bottom, parts, scale: name === kKeyboardTile ? kKeyboardScale : scale })),
    };
}

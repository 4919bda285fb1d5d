// How the package, its worklet and the page speak of what they were given:
// outside text quoted short, and objects of named values checked for names
// they do not know.

const kMostQuoted = 40;

// Outside text as a message quotes it: whole when short, else its first 40
// characters and "…", so that a huge input never makes a huge message.
export function shortened(text) {
    // 160 UTF-16 units hold more than 40 characters whenever the text does.
    const start = Array.from(String(text).slice(0, 4 * kMostQuoted));
    return start.length > kMostQuoted ? `${start.slice(0, kMostQuoted).join('')}…` : start.join('');
}

// Why an object of named values is refused, or '' when every name is one of
// `known`: a misspelt name would otherwise be ignored without a word.
export function unknownName(object, known, what = 'option') {
    const name = Object.keys(object).find((key) => !known.includes(key));
    return name === undefined ? '' : `unknown ${what} '${shortened(name)}' (known: ${known.join(', ')})`;
}

const kParameters = 60;

// The names each message to the worklet takes.
const kMessageNames = {
    noteOn: ['type', 'note', 'velocity', 'frame'],
    noteOff: ['type', 'note', 'velocity', 'frame'],
    param: ['type', 'index', 'value'],
    sound: ['type', 'code'],
    allNotesOff: ['type'],
    levels: ['type'],
};

function isWhole(value, min, max) {
    return Number.isInteger(value) && value >= min && value <= max;
}

// What is wrong with a note message: a note the instrument cannot play
// would otherwise pass in silence.
function noteRefusal({ type, note, velocity = 127, frame = 0 }) {
    if (!isWhole(note, 0, 127))
        return `${type}: the note must be a whole 0 ... 127, not ${shortened(note)}`;
    if (type === 'noteOn' && !isWhole(velocity, 1, 127))
        return `noteOn: the velocity must be a whole 1 ... 127, not ${shortened(velocity)}`;
    if (!Number.isFinite(frame) || frame < 0)
        return `${type}: the frame must be a number of frames from 0, not ${shortened(frame)}`;
    return '';
}

// Why the worklet refuses a message, or '' when it takes it as far as can be
// told without the instrument (a parameter's range is the module's to say).
export function liveMessageRefusal(message) {
    const type = message?.type;
    if (!Object.hasOwn(kMessageNames, type))
        return `unknown message type '${shortened(type)}' (known: ${Object.keys(kMessageNames).join(', ')})`;
    const unknown = unknownName(message, kMessageNames[type], 'key');
    if (unknown)
        return `${type}: ${unknown}`;
    if (type === 'noteOn' || type === 'noteOff')
        return noteRefusal(message);
    if (type === 'param' && !(isWhole(message.index, 0, kParameters - 1) && Number.isFinite(message.value)))
        return `param: expected an index 0 ... ${kParameters - 1} and a finite value in its units, not ` +
               `${shortened(message.index)} and ${shortened(message.value)}`;
    if (type === 'sound' && typeof message.code !== 'string')
        return 'sound: expected the code as a string';
    return '';
}

// The Worker renderAsync and wavAsync render in, over the module
// bleepforge.mjs loads.
import { Bleepforge } from './bleepforge.mjs';
import { serveRenders } from './bleepforge-api.mjs';

serveRenders(Bleepforge);

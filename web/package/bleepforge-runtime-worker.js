// The Worker renderAsync and wavAsync render in, over the module
// bleepforge-runtime.mjs loads.
import { Bleepforge } from './bleepforge-runtime.mjs';
import { serveRenders } from './bleepforge-api.mjs';

serveRenders(Bleepforge);

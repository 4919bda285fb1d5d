// The worklet over the fuller module: context.audioWorklet.addModule(this file).
import createCore from './bleepforge-core.mjs';
import { registerBleepforgeProcessor } from './bleepforge-worklet-processor.mjs';

registerBleepforgeProcessor(createCore, 'bleepforge-core.wasm');

// The worklet over the runtime module: context.audioWorklet.addModule(this file).
import createCore from './bleepforge-runtime-core.mjs';
import { registerBleepforgeProcessor } from './bleepforge-worklet-processor.mjs';

registerBleepforgeProcessor(createCore, 'bleepforge-runtime-core.wasm');

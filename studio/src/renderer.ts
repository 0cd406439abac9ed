// The page's side of the worker: one render at a time, and only the newest
// request waits behind it, so that while a slider moves the last change wins.
import type { FromWorker, Rendered, RenderRequest, Views } from './protocol';

export class Renderer {
  private nextId = 1;
  private busy = false;
  private waiting: RenderRequest | null = null;
  private ready: Promise<void>;

  constructor(
    private worker: Worker,
    module: WebAssembly.Module,
    private onRendered: (result: Rendered) => void,
    private onFailed: (message: string) => void,
    private onViews: (views: Views) => void,
  ) {
    this.ready = new Promise((resolve) => {
      worker.onmessage = (event: MessageEvent<FromWorker>) => {
        const message = event.data;
        if (message.type === 'ready') resolve();
        else if (message.type === 'views') this.onViews(message);
        else this.finished(message);
      };
    });
    worker.postMessage({ type: 'init', module });
  }

  async request(sfs: Uint8Array, renderState: number, bufferLength: number): Promise<void> {
    this.waiting = { type: 'render', id: this.nextId++, sfs, renderState, bufferLength };
    await this.ready;
    this.sendWaiting();
  }

  private sendWaiting(): void {
    if (this.busy || !this.waiting) return;
    this.busy = true;
    this.worker.postMessage(this.waiting);
    this.waiting = null;
  }

  private finished(message: FromWorker): void {
    this.busy = false;
    const stale = this.waiting !== null;
    this.sendWaiting();
    if (stale) return;
    if (message.type === 'rendered') {
      this.onRendered(message);
      this.worker.postMessage({ type: 'views', id: message.id });
    }
    else if (message.type === 'failed') this.onFailed(message.message);
  }
}

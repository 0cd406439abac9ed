// The page's side of the synthesis: one render at a time, and only the newest
// request waits behind it, so that while a slider moves the last change wins.
// The synthesis runs in a worker; where a page cannot start one (some browsers
// refuse workers to pages opened from disk), it runs on the page itself.
import type { FromWorker, Rendered, RenderRequest, Views } from './protocol';
import { make, viewsOf } from './synth';

export interface RendererEvents {
  rendered(result: Rendered): void;
  failed(message: string): void;
  views(views: Views): void;
}

/** How long a worker may take to say it is ready before the page renders by itself. */
const WORKER_START_MS = 4000;

export class Renderer {
  private nextId = 1;
  private busy = false;
  private waiting: RenderRequest | null = null;
  private worker: Worker | null = null;
  private ready: Promise<void>;
  private onPage: { id: number; samples: Int16Array } | null = null;
  /** Where sounds are made: 'worker', or 'page' once a worker could not start. */
  where: 'starting' | 'worker' | 'page' = 'starting';

  constructor(
    module: WebAssembly.Module,
    startWorker: () => Worker,
    private events: RendererEvents,
  ) {
    this.ready = new Promise((resolve) => {
      const onPage = () => {
        if (this.where !== 'starting') return;
        this.where = 'page';
        this.worker?.terminate();
        this.worker = null;
        resolve();
      };
      try {
        const worker = startWorker();
        this.worker = worker;
        worker.onerror = (e) => {
          e.preventDefault();
          onPage();
        };
        worker.onmessage = (event: MessageEvent<FromWorker>) => {
          const message = event.data;
          if (message.type === 'ready') {
            if (this.where !== 'starting') return;
            this.where = 'worker';
            resolve();
          } else if (message.type === 'broken') onPage();
          else if (message.type === 'views') this.events.views(message);
          else this.finished(message);
        };
        worker.postMessage({ type: 'init', module });
        setTimeout(onPage, WORKER_START_MS);
      } catch {
        onPage();
      }
    });
  }

  async request(sfs: Uint8Array, renderState: number, bufferLength: number): Promise<number> {
    const id = this.nextId++;
    this.waiting = { type: 'render', id, sfs, renderState, bufferLength };
    await this.ready;
    this.sendWaiting();
    return id;
  }

  private sendWaiting(): void {
    if (this.busy || !this.waiting) return;
    this.busy = true;
    const request = this.waiting;
    this.waiting = null;
    if (this.worker) {
      this.worker.postMessage(request);
      return;
    }
    setTimeout(async () => {
      try {
        const { rendered, samples } = await make(request);
        this.onPage = { id: request.id, samples };
        this.finished(rendered);
      } catch (e) {
        this.finished({ type: 'failed', id: request.id, message: (e as Error).message });
      }
    }, 0);
  }

  private askViews(id: number): void {
    if (this.worker) {
      this.worker.postMessage({ type: 'views', id });
      return;
    }
    setTimeout(() => {
      if (this.onPage?.id === id) this.events.views(viewsOf(id, this.onPage.samples));
    }, 0);
  }

  private finished(message: FromWorker): void {
    this.busy = false;
    const stale = this.waiting !== null;
    this.sendWaiting();
    if (stale) return;
    if (message.type === 'rendered') {
      this.events.rendered(message);
      this.askViews(message.id);
    } else if (message.type === 'failed') this.events.failed(message.message);
  }
}

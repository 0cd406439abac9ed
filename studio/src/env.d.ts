/// <reference types="vite/client" />
declare module '@quavix-wasm?url' {
  const url: string;
  export default url;
}
declare module '@quavix-layers-wasm?url' {
  const url: string;
  export default url;
}

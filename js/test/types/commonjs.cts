// A CommonJS program in TypeScript: require() of the package.
import quavix = require('quavix');

quavix.init().then(() => {
  const rng = quavix.random(42);
  quavix.render(quavix.preset('coin', rng), rng);
  // @ts-expect-error a misspelt family
  quavix.preset('coins', rng);
});

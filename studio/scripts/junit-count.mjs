// Prints "TESTS FAILURES SKIPPED" for JUnit reports: each <testcase> counts once.
import { readFileSync } from 'node:fs';

let tests = 0;
let failures = 0;
let skipped = 0;
for (const file of process.argv.slice(2)) {
  const xml = readFileSync(file, 'utf8');
  for (const [, body] of xml.matchAll(/<testcase\b([\s\S]*?)(?:\/>|<\/testcase>)/g)) {
    tests++;
    if (/<(failure|error)\b/.test(body)) failures++;
    else if (/<skipped\b/.test(body)) skipped++;
  }
}
console.log(`${tests} ${failures} ${skipped}`);

// Regenerates the initials column of data/stocks.csv from the stock names with a
// phrase-aware converter, so that characters with two readings take the one
// their word gives them (银行 YH, 重庆 CQ, 长江 CJ). Run at data-build time, when
// the stock list changes; the result is committed and the build needs no network:
//   cd tools/pinyin && npm ci && node make_initials.mjs [--check]
// --check changes nothing and lists the rows whose initials differ.
import { readFileSync, writeFileSync } from 'node:fs';
import { customPinyin, pinyin } from 'pinyin-pro';

const csv = new URL('../../data/stocks.csv', import.meta.url);
const check = process.argv.includes('--check');

// Words the converter reads otherwise than these companies are called: 乐 of
// a name is lè, not the yuè of music; 一重 is First Heavy (zhòng); 藏 is Tibet
// (zàng).
customPinyin({
  飞乐: 'fēi lè',
  乐歌: 'lè gē',
  一重: 'yī zhòng',
  藏格: 'zàng gé',
  藏药: 'zàng yào',
});

// The first letter of each character's reading; letters, digits and marks that
// are no Chinese characters stay as they are, letters in upper case.
export function initials(name) {
  return pinyin(name, { pattern: 'first', toneType: 'none', type: 'array', nonZh: 'consecutive' })
    .join('')
    .replace(/\s+/g, '')
    .toUpperCase();
}

const lines = readFileSync(csv, 'utf8').split('\n');
let changed = 0;
const out = lines.map((line, i) => {
  if (i === 0 || line === '') return line;
  const [code, name, old] = line.split(',');
  const now = initials(name);
  if (now !== old) {
    changed += 1;
    if (check) console.log(`${code} ${name}: ${old} -> ${now}`);
  }
  return [code, name, now].join(',');
});
if (!check) writeFileSync(csv, out.join('\n'));
console.log(`${changed} of ${lines.length - 2} rows ${check ? 'differ' : 'changed'}`);
process.exitCode = check && changed > 0 ? 1 : 0;

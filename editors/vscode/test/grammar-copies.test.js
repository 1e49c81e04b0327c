// The annotated copy of the example disc's menu is that menu, line for line,
// so that the grammar is tested on what authors start from.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');

test('the annotated example is the example disc\'s menu', () => {
  const annotated = fs.readFileSync(path.join(__dirname, 'grammar', 'example.test.ini'), 'utf8').split('\n');
  const source = annotated.slice(1).filter(line => !/^#\s*(\^|<-)/.test(line));
  const menu = fs.readFileSync(path.join(__dirname, '..', '..', '..', 'examples', 'Quorlan.ini'), 'utf8');
  assert.deepStrictEqual(source, menu.replace(/\r\n/g, '\n').split('\n'));
});

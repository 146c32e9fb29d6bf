// The PowerShell scripts the program exports, read with a grammar of PowerShell (tree-sitter-powershell). Each
// must parse without an error and hold only what the export writes: the cmdlets it means to use, each with the
// arguments it gives them; every service found by a literal single-quoted name, never through the -Name of
// Get-Service, Start-Service or Stop-Service, which takes wildcards; no variable but the script's own, no
// subexpression, no expandable string.
//   node powershell-check.js FILE.ps1...
'use strict';
const fs = require('fs');
const Parser = require('tree-sitter');
const PowerShell = require('tree-sitter-powershell');

const parser = new Parser();
parser.setLanguage(PowerShell);

// PowerShell ends a single-quoted string at any of these and reads two in a row as one quote; the grammar knows
// only the first, so the check reads the strings' insides itself.
const QUOTES = "'\u2018\u2019\u201A\u201B";
const LITERAL = Symbol('a literal single-quoted string');
// The arguments of each command, as the export writes them.
const COMMANDS = new Map([
  ['Get-Service', []],
  ['Where-Object', ['Name', '-eq', LITERAL]],
  ['Set-Service', ['-StartupType', /^(Automatic|Manual|Disabled)$/]],
  ['Start-Service', []],
  ['Stop-Service', []],
  ['Write-Warning', [LITERAL]],
]);
const WILDCARD_NAME = new Set(['Get-Service', 'Start-Service', 'Stop-Service']);
const VARIABLES = new Set(['$ErrorActionPreference', '$service']);
// What the grammar makes of the lines the export writes: anything else (a subexpression, an expandable or here
// string, a script block, a member call, a redirection, a ";", a call operator) has no place in the script.
const NODES = new Set([
  'program', 'comment', 'statement_list', 'pipeline', 'pipeline_chain', 'if_statement', 'else_clause',
  'statement_block', 'assignment_expression', 'left_assignment_expression', 'assignement_operator',
  'logical_expression', 'bitwise_expression', 'comparison_expression', 'additive_expression',
  'multiplicative_expression', 'format_expression', 'range_expression', 'array_literal_expression',
  'unary_expression', 'variable', 'string_literal', 'verbatim_string_characters', 'command', 'command_name',
  'command_elements', 'command_argument_sep', 'generic_token', 'command_parameter',
  ' ', '(', ')', '{', '}', '|', '=', 'if', 'else',
]);

// Why a command argument is not a literal single-quoted string, or null if it is.
function notLiteral(node) {
  let n = node;
  while ((n.type === 'array_literal_expression' || n.type === 'unary_expression') && n.childCount === 1) n = n.child(0);
  if (n.type !== 'string_literal' || n.childCount !== 1 || n.child(0).type !== 'verbatim_string_characters')
    return `${node.text} is not a single-quoted string`;
  const inside = n.text.slice(1, -1);
  for (let i = 0; i < inside.length; i++) {
    if (!QUOTES.includes(inside[i])) continue;
    if (!QUOTES.includes(inside[i + 1])) return `${n.text} ends at its quote ${inside[i]} (U+${inside.codePointAt(i).toString(16).toUpperCase()})`;
    i++;
  }
  return null;
}

function checkCommand(node, fail) {
  const nameNode = node.childForFieldName('command_name');
  if (!nameNode || nameNode.type !== 'command_name') return fail(node, `a command called through an expression: ${node.text}`);
  const name = nameNode.text;
  const expected = COMMANDS.get(name);
  if (!expected) return fail(node, `command ${name}: not one the export uses`);
  const elements = node.childForFieldName('command_elements');
  const args = elements ? elements.namedChildren.filter((c) => c.type !== 'command_argument_sep') : [];
  if (WILDCARD_NAME.has(name) && args.length > 0)
    return fail(node, `${name} ${args.map((a) => a.text).join(' ')}: its -Name, named or by position, takes wildcards`);
  if (args.length !== expected.length) return fail(node, `${name}: arguments ${args.map((a) => a.text).join(' ')}`);
  expected.forEach((want, i) => {
    const arg = args[i];
    if (want === LITERAL) {
      const why = notLiteral(arg);
      if (why) fail(arg, `${name}: ${why}`);
    } else if (want instanceof RegExp ? !want.test(arg.text) : arg.text !== want) {
      fail(arg, `${name}: ${arg.text} where the export writes ${want}`);
    }
  });
}

// Characters no line of the script may hold as they are: control characters but tab and the line ends (C0, DEL,
// C1), the Unicode line and paragraph separators, the two noncharacters of the basic plane. A name holding one is
// left out of the export and said so in a comment, where it shows as a space.
const RAW_CONTROL = /[\u0000-\u0008\u000B\u000C\u000E-\u001F\u007F-\u009F\u2028\u2029\uFFFE\uFFFF]/;

// The failures found in a script's text, each as "line:column: what".
function check(text) {
  const failures = [];
  const fail = (node, what) => failures.push(`${node.startPosition.row + 1}:${node.startPosition.column + 1}: ${what}`);
  text.split('\n').forEach((line, row) => {
    const found = RAW_CONTROL.exec(line);
    if (found) failures.push(`${row + 1}:${found.index + 1}: raw control character U+${found[0].codePointAt(0).toString(16).toUpperCase().padStart(4, '0')}`);
  });
  const tree = parser.parse(text);
  let commands = 0;
  (function walk(node) {
    if (node.isError) fail(node, `parse error at ${JSON.stringify(node.text.slice(0, 60))}`);
    else if (node.isMissing) fail(node, `missing ${node.type}`);
    else if (!NODES.has(node.type)) fail(node, `unexpected ${node.type}: ${node.text.slice(0, 60)}`);
    if (node.type === 'command') {
      commands++;
      checkCommand(node, fail);
    }
    if (node.type === 'variable' && !VARIABLES.has(node.text)) fail(node, `variable ${node.text}`);
    for (const child of node.children) walk(child);
  })(tree.rootNode);
  if (commands === 0) failures.push('no command at all');
  return { failures, commands };
}

// The check itself first: scripts it must refuse, as an export could go wrong.
const act = (name) => `if ($service = Get-Service | Where-Object Name -eq ${name}) { $service | Start-Service } else { Write-Warning 'x' }\r\n`;
const refused = [
  "Stop-Service -Name '*'\r\n",
  "Get-Service 'RpcS?' | Stop-Service\r\n",
  act("'a\u2018; Stop-Computer; \u2018'"),
  act("'x'; Stop-Computer; ''"),
  act('"$(Stop-Computer)"'),
  act('$env:COMPUTERNAME'),
  act("'x'") + 'Set-Service -StartupType Manual -Name ($x)\r\n',
  act("'x") ,
  act("'a\u0081b'"),
  act("'a\u2028b'"),
  '# a\u0085comment\r\n' + act("'x'"),
];
for (const script of refused) {
  if (check(script).failures.length === 0) {
    console.error(`the check accepts a script it must refuse:\n${script}`);
    process.exit(1);
  }
}

let failed = false;
for (const file of process.argv.slice(2)) {
  const bytes = fs.readFileSync(file);
  let text;
  try {
    text = new TextDecoder('utf-8', { fatal: true, ignoreBOM: true }).decode(bytes);  // keeps the byte-order mark
  } catch (e) {
    console.log(`${file}: not UTF-8`);
    failed = true;
    continue;
  }
  const { failures, commands } = check(text);
  for (const failure of failures) console.log(`${file}:${failure}`);
  if (!text.startsWith('\uFEFF')) {
    console.log(`${file}: no byte-order mark (Windows PowerShell would read it in the ANSI code page)`);
    failed = true;
  }
  if (failures.length > 0) failed = true;
  else console.log(`${file}: ${commands} commands, each as the export means it, every name a literal`);
}
process.exit(failed || process.argv.length < 3 ? 1 : 0);

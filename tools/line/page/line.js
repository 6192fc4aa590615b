// Polls the JSON API twice a second and fills the page. Every text from the
// database goes in as textContent, never as markup.
'use strict';

const columns = {
  joblots: ['job', 'lot', 'devices', 'passed', 'failed', 'yield'],
  steps: ['step', 'devices'],
  retired: ['sequence', 'number', 'retired', 'reason'],
  records: ['time', 'host', 'port', 'device', 'job', 'lot', 'serial', 'passed', 'outcome'],
};
const empty = {
  joblots: 'No device today.',
  steps: 'No failure today.',
  retired: 'No number retired.',
  records: 'No record yet.',
};
let lastHours = '';

function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

function yieldText(y) {
  return y === null || y === undefined ? '-' : y + ' %';
}

function cellText(key, value) {
  if (key === 'yield') return yieldText(value);
  if (typeof value === 'boolean') return value ? 'pass' : 'fail';
  if (Array.isArray(value)) return value.join(' | ');
  if (value === null || value === undefined) return '';
  return String(value);
}

function fillTable(id, list) {
  const table = document.getElementById(id);
  const headings = Array.from(table.querySelectorAll('thead th'), (th) => th.textContent);
  const body = element('tbody');
  if (list.length === 0) {
    const row = element('tr', 'empty');
    const cell = element('td', '', empty[id]);
    cell.colSpan = columns[id].length;
    row.append(cell);
    body.append(row);
  }
  for (const item of list) {
    const row = element('tr');
    columns[id].forEach((key, i) => {
      const cell = element('td', '', cellText(key, item[key]));
      cell.dataset.label = headings[i];
      row.append(cell);
    });
    body.append(row);
  }
  table.tBodies[0].replaceWith(body);
}

function stateClass(b) {
  if (b.gone) return 'gone';
  return ['waiting', 'running', 'passed', 'failed', 'stopped'].includes(b.state) ? b.state : 'unknown';
}

function stateText(b) {
  switch (stateClass(b)) {
    case 'gone': return 'Gone: not heard from since ' + b.changed;
    case 'waiting': return 'Waiting for the operator';
    case 'running': return 'Running ' + b.command + ' (device ' + b.devices + ')';
    case 'passed': return 'Passed';
    case 'failed': return b.step ? 'Failed at ' + b.step : 'Failed';
    case 'stopped': return 'Stopped';
    default: return 'Unknown state ' + b.state;
  }
}

function tile(b) {
  const t = element('article', 'tile ' + stateClass(b));
  const h = element('h3');
  h.append(element('span', 'host', b.host), ' ', element('span', 'port', b.port));
  const state = element('p', 'state');
  const mark = element('span', 'mark');
  mark.setAttribute('aria-hidden', 'true');
  state.append(mark, element('span', 'words', stateText(b)));
  const dl = element('dl');
  // The run's last failure stays on the tile after later passes.
  const failure = b.text ? b.text : '-';
  const today = b.today || {};
  for (const [label, cls, text] of [['Job', 'job', b.job], ['Lot', 'lot', b.lot],
    ['Today', 'today', (today.devices || 0) + ' devices, ' + yieldText(today.yield) + ' passed'],
    ['Last failure', 'failure', failure]]) {
    dl.append(element('dt', '', label), element('dd', cls, text));
  }
  t.append(h, state, dl);
  return t;
}

async function getJson(url) {
  const answer = await fetch(url, { cache: 'no-store', credentials: 'same-origin' });
  if (!answer.ok) throw new Error(url + ': ' + answer.status);
  return answer.json();
}

async function refresh() {
  const started = Date.now();
  const status = document.getElementById('status');
  try {
    const today = document.body.dataset.today;
    const [benches, summary, records, hours] = await Promise.all([
      getJson('/api/benches'),
      getJson('/api/summary?since=' + encodeURIComponent(today)),
      getJson('/api/records?limit=50'),
      getJson('/api/hours'),
    ]);
    const tiles = document.getElementById('benches');
    if (benches.benches.length === 0) tiles.replaceChildren(element('p', 'empty', 'No bench has reported yet.'));
    else tiles.replaceChildren(...benches.benches.map(tile));
    const t = summary.total;
    document.getElementById('total').textContent =
      t.devices + ' devices, ' + t.passed + ' passed, ' + t.failed + ' failed, yield ' + yieldText(t.yield);
    fillTable('joblots', summary.byJobLot);
    fillTable('steps', summary.failedSteps);
    fillTable('retired', summary.retired);
    fillTable('records', records.records);
    const hoursText = JSON.stringify(hours.hours);
    if (hoursText !== lastHours) {
      if (lastHours) document.getElementById('chart').src = '/hours.svg?t=' + Date.now();
      lastHours = hoursText;
    }
    document.getElementById('updated').textContent = benches.now;
    // A new day starts a new "today".
    document.body.dataset.today = benches.now.slice(0, 10);
    document.getElementById('csv').href = '/export.csv?since=' + encodeURIComponent(document.body.dataset.today);
    status.textContent = '';
    status.className = '';
    document.body.dataset.polls = Number(document.body.dataset.polls || 0) + 1;
  } catch (e) {
    status.textContent = 'No answer from the server (' + e.message + '); trying again.';
    status.className = 'fault';
  } finally {
    // Twice a second, counted from the start of this round: with the
    // server's answers a second old at most, a record shows within 1.5 s.
    setTimeout(refresh, Math.max(0, 500 - (Date.now() - started)));
  }
}

refresh();

// The station page: polls the program once a second and shows what it does.
'use strict';

const $ = (id) => document.getElementById(id);
const state = { token: sessionStorage.getItem('auravox-token') || '', revisions: {}, settings: null, dirty: false,
                loggedIn: false, busy: false };
const ITEM_NAMES = { TEMPINT: 'Indoor temp.', TEMPEXT: 'Outdoor temp.', PRESATM: 'Pressure', PRETEND: 'Trend',
  VITVENT: 'Wind', VITRAFA: 'Gust', DIRVENT: 'Direction', TRES: 'Wind chill', PLUIE: 'Rain / weather',
  HUMIDI: 'Humidity' };

function notice(text, info) {
  const n = $('notice');
  n.textContent = text || '';
  n.hidden = !text;
  n.classList.toggle('info', !!info);
}

async function api(path, body) {
  const options = { credentials: 'same-origin', headers: {} };
  if (body !== undefined) {
    options.method = 'POST';
    options.headers['Content-Type'] = 'application/json';
    if (state.token) options.headers['X-Auravox-Token'] = state.token;
    options.body = JSON.stringify(body);
  }
  const reply = await fetch(path, options);
  let data = {};
  try { data = await reply.json(); } catch (e) { /* an empty answer */ }
  return { ok: reply.ok, status: reply.status, data };
}

function hourText(iso) {
  if (!iso) return '—';
  const t = iso.slice(11, 16);
  return t;
}

function showStatus(s) {
  $('version').textContent = 'V' + s.version;
  $('clock-time').textContent = s.time;
  $('clock-date').textContent = s.date;
  const pill = $('state-pill');
  state.busy = s.busy;
  pill.className = 'pill ' + (s.startupPending ? 'wait' : s.busy ? 'air' : 'idle');
  pill.textContent = s.startupPending ? 'STARTING' : s.busy ? 'ON AIR' : 'IDLE';
  $('status-field').textContent = s.statusField || '—';
  const sch = s.schedule;
  $('next-time').textContent = sch.next ? hourText(sch.next) : 'none';
  if (sch.next && sch.next.slice(0, 10) !== s.now.slice(0, 10)) $('next-time').textContent += ' (tomorrow)';
  $('schedule-text').textContent = sch.periodMinutes
    ? `every ${sch.periodMinutes} min from ${String(sch.startHour).padStart(2, '0')}h to ${String(sch.endHour).padStart(2, '0')}h`
    : 'no scheduled announcements (period 0)';
  const p = s.port;
  $('port-name').textContent = p.name === 'No COM' ? 'No serial port' : p.name;
  $('port-device').textContent = p.device ? p.device + (p.open ? '' : ' (not open)') : '';
  for (const li of document.querySelectorAll('#leds li')) {
    const on = !!p[li.dataset.line];
    li.classList.toggle('on', on);
    li.setAttribute('aria-label', `${li.dataset.line.toUpperCase()} ${on ? 'on' : 'off'}`);
  }
  showWeather(s.weather);
  if (s.access) {
    state.loggedIn = s.access.loggedIn;
    if (!s.access.loggedIn && state.token) { state.token = ''; sessionStorage.removeItem('auravox-token'); }
    $('login-form').hidden = s.access.loggedIn;
    $('logged-in').hidden = !s.access.loggedIn;
    $('password').placeholder = s.access.passwordSet ? 'Station password' : 'No password set';
  }
  $('play-button').disabled = !state.loggedIn || s.busy || s.startupPending;
  $('settings-fields').disabled = !state.loggedIn;
  state.settings = s.settings;
  if (!state.dirty) fillSettings(s.settings);
}

function age(seconds) {
  if (seconds === undefined) return '';
  if (seconds < 90) return `${seconds} s old`;
  if (seconds < 5400) return `${Math.round(seconds / 60)} min old`;
  return `${(seconds / 3600).toFixed(1)} h old`;
}

function showWeather(w) {
  $('wx-source').textContent = w.caption || 'No weather data';
  $('wx-age').textContent = w.readingTime ? `reading of ${w.readingTime.replace('T', ' ')}, ${age(w.ageSeconds)}` : '';
  $('wx-gate').textContent = w.gate === 'spoken' ? (w.spoken ? `Spoken: “${w.spoken}”` : 'Nothing ticked to speak.') : w.gate;
  $('wx-error').hidden = !w.error;
  $('wx-error').textContent = w.error || '';
  const body = $('wx-items');
  body.replaceChildren();
  for (const item of w.items || []) {
    const tr = document.createElement('tr');
    tr.className = item.selected ? '' : 'off';
    for (const [cls, text] of [['', item.name + (item.selected ? '' : ' (not ticked)')], ['val', item.value || '—'],
                               ['spoken', item.spoken || '']]) {
      const td = document.createElement('td');
      td.className = cls;
      td.textContent = text;
      tr.appendChild(td);
    }
    body.appendChild(tr);
  }
}

function showHistory(list) {
  const ol = $('history');
  ol.replaceChildren();
  if (!list.length) {
    const li = document.createElement('li');
    li.className = 'empty';
    li.textContent = 'None yet.';
    ol.appendChild(li);
  }
  for (const a of list) {
    const li = document.createElement('li');
    li.dataset.id = a.id;
    const when = document.createElement('span');
    when.className = 'when';
    when.textContent = a.start.slice(11, 19) + (a.end ? '–' + a.end.slice(11, 19) : '');
    const trigger = document.createElement('span');
    trigger.textContent = a.trigger;
    const badge = document.createElement('span');
    badge.className = 'badge ' + a.outcome;
    badge.textContent = a.outcome;
    const words = document.createElement('span');
    words.className = 'words';
    words.textContent = a.outcome === 'refused' ? a.detail : (a.spoken || a.clips.join(' ')) + (a.detail ? ` — ${a.detail}` : '');
    li.append(when, trigger, badge, words);
    ol.appendChild(li);
  }
}

function fillSettings(s) {
  if (!s) return;
  const f = $('settings-form').elements;
  f.period.value = String(s.period);
  f.startHour.value = String(s.startHour);
  f.endHour.value = String(s.endHour);
  for (const k of ['header', 'hello', 'date', 'dateUS', 'timeIs', 'time', 'goodbye']) f[k].checked = s[k];
  f.pause.value = s.pause;
  f.source.value = s.source;
  for (const k of ['temperature', 'pressure', 'wind', 'rain']) f[k].value = s.units[k];
  const boxes = $('item-boxes');
  boxes.replaceChildren();
  // In speaking order, not the JSON's.
  for (const key of Object.keys(ITEM_NAMES).filter((k) => k in s.items)) {
    const on = s.items[key];
    const label = document.createElement('label');
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.name = 'item-' + key;
    box.checked = on;
    label.append(box, ' ' + (ITEM_NAMES[key] || key));
    boxes.appendChild(label);
  }
}

function settingsChange() {
  const f = $('settings-form').elements;
  const change = { period: Number(f.period.value), startHour: Number(f.startHour.value),
    endHour: Number(f.endHour.value), pause: Number(f.pause.value), source: f.source.value,
    units: { temperature: f.temperature.value, pressure: f.pressure.value, wind: f.wind.value, rain: f.rain.value } };
  for (const k of ['header', 'hello', 'date', 'dateUS', 'timeIs', 'time', 'goodbye']) change[k] = f[k].checked;
  if (state.settings && f.source.value === state.settings.source) {
    change.items = {};
    for (const box of document.querySelectorAll('#item-boxes input')) change.items[box.name.slice(5)] = box.checked;
  }
  return change;
}

async function refresh() {
  let s;
  try {
    s = await api('/api/status');
  } catch (e) {
    notice('The station does not answer.');
    return;
  }
  if (s.status === 401) {
    notice('Log in with the station password to see this station.', true);
    $('login-form').hidden = false;
    $('logged-in').hidden = true;
    return;
  }
  if (!s.ok) { notice(s.data.error || `The station answered ${s.status}.`); return; }
  if ($('notice').classList.contains('info') || $('notice').textContent.startsWith('The station does not')) notice('');
  showStatus(s.data);
  const r = s.data.revisions;
  if (r.announcements !== state.revisions.announcements) {
    const a = await api('/api/announcements');
    if (a.ok) showHistory(a.data.announcements);
  }
  if (r.log !== state.revisions.log) {
    const l = await api('/api/log');
    if (l.ok) {
      const pre = $('log');
      const atEnd = pre.scrollTop + pre.clientHeight >= pre.scrollHeight - 4;
      pre.textContent = [...l.data.journal, '', '— auravox.log —', ...l.data.logbook].join('\n');
      if (atEnd) pre.scrollTop = pre.scrollHeight;
    }
  }
  state.revisions = r;
}

function setup() {
  for (const name of ['startHour', 'endHour']) {
    const select = $('settings-form').elements[name];
    for (let h = 0; h <= 24; h++) select.add(new Option(String(h).padStart(2, '0'), String(h)));
  }
  $('login-form').addEventListener('submit', async (ev) => {
    ev.preventDefault();
    $('login-button').disabled = true;
    const r = await api('/api/login', { password: $('password').value });
    $('login-button').disabled = false;
    $('password').value = '';
    if (!r.ok) { notice(r.data.error || 'Login failed.'); return; }
    state.token = r.data.token;
    sessionStorage.setItem('auravox-token', state.token);
    notice('');
    state.revisions = {};
    refresh();
  });
  $('logout-button').addEventListener('click', async () => {
    await api('/api/logout', {});
    state.token = '';
    sessionStorage.removeItem('auravox-token');
    refresh();
  });
  $('play-button').addEventListener('click', async () => {
    $('play-button').disabled = true;
    const r = await api('/api/play', {});
    notice(r.ok ? '' : (r.data.error || `Refused (${r.status}).`));
    refresh();
  });
  const form = $('settings-form');
  form.addEventListener('input', () => { state.dirty = true; });
  form.addEventListener('submit', async (ev) => {
    ev.preventDefault();
    const r = await api('/api/settings', settingsChange());
    $('settings-result').textContent = r.ok ? 'Saved.' : (r.data.error || `Refused (${r.status}).`);
    if (r.ok) { state.dirty = false; fillSettings(r.data); }
  });
  refresh();
  setInterval(refresh, 1000);
}

document.addEventListener('DOMContentLoaded', setup);

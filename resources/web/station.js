// The station page: polls the program once a second and shows what it does.
'use strict';

const $ = (id) => document.getElementById(id);
const state = { token: sessionStorage.getItem('auravox-token') || '', revisions: {}, settings: null,
                dirty: new Set(), loggedIn: false, busy: false };
const SOURCES = [['NONE', 'No weather data'], ['MON', 'Davis Weather Monitor II'], ['PRO2', 'Davis Vantage Pro2'],
  ['W23', 'Lacrosse WS-2310 / 2315 / 2355 +'], ['W28', 'Lacrosse WS-2800 / 3610 +'],
  ['APRS', 'APRS data (UI-VIEW format)'], ['METAR', 'METAR data (Aviation)']];
const HISTORY_SOURCES = ['W23', 'W28', 'PRO2'];
const PERIODS = [0, 5, 10, 15, 20, 30, 60];
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
  for (const f of document.querySelectorAll('fieldset.needs-login')) f.disabled = !state.loggedIn;
  state.settings = s.settings;
  $('first-start').hidden = !s.firstStart;
  fillAll(s.settings);
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

// Replaces a select's options (value, text), keeping the value when it is still there.
function options(select, list, value) {
  const key = JSON.stringify(list);
  if (select.dataset.key !== key) {
    select.replaceChildren(...list.map(([v, t]) => new Option(t, String(v))));
    select.dataset.key = key;
  }
  if (value !== undefined) select.value = String(value);
}

function soundList(s) {
  return [[-1, 'Let the system choose the sound card'], ...s.soundDevices.map((name, i) => [i, name])];
}

// The fob's HID input bits, as the COM window lists them.
const PTT_BITS = [[-1, 'none'], [0, 'bit 0 (volume up)'], [1, 'bit 1 (volume down)'], [2, 'bit 2 (playback mute)'],
  [3, 'bit 3 (record mute)'], [4, 'bit 4'], [5, 'bit 5'], [6, 'bit 6'], [7, 'bit 7']];

function pttInputs(f) {
  return Array.from(f).filter((i) => /^(cm108|gpio|rig)\./.test(i.name));
}

// Only the chosen kind's settings are shown.
function showPttKind(f) {
  for (const row of document.querySelectorAll('#port-form [data-kind]')) row.hidden = row.dataset.kind !== f.kind.value;
}

function portList(s) {
  return (s.ports || ['No COM']).map((p) => [p, p]);
}

function waveList(s) {
  return [['', '(none)'], ...s.waveFiles.map((f) => [f, f])];
}

const FILLERS = {
  message(f, s) {
    f.period.value = String(s.period);
    f.startHour.value = String(s.startHour);
    f.endHour.value = String(s.endHour);
    for (const k of ['header', 'hello', 'date', 'dateUS', 'timeIs', 'time', 'goodbye']) f[k].checked = s[k];
    f.pause.value = s.pause;
    options(f.source, SOURCES, s.source);
    for (const k of ['temperature', 'pressure', 'wind', 'rain']) f[k].value = s.units[k];
    const boxes = $('item-boxes');
    boxes.replaceChildren();
    // In speaking order, not the JSON's.
    for (const key of Object.keys(ITEM_NAMES).filter((k) => k in s.items)) {
      const label = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.name = 'item-' + key;
      box.checked = s.items[key];
      label.append(box, ' ' + (ITEM_NAMES[key] || key));
      boxes.appendChild(label);
    }
  },
  first(f, s) {
    options(f.port, portList(s), s.port);
    options(f.soundDevice, soundList(s), s.soundDevice);
    options(f.source, SOURCES, s.source);
    const own = s.sources[s.source];
    f.file.value = own ? own.file : '';
    options(f.period, PERIODS.map((p) => [p, p ? String(p) : 'none']), s.period);
    f.startHour.value = String(s.startHour);
    f.endHour.value = String(s.endHour);
  },
  port(f, s, status) {
    options(f.port, portList(s), s.port);
    const ptt = s.ptt;
    for (const select of document.querySelectorAll('#port-form select[data-bits]')) {
      options(select, PTT_BITS);
    }
    f.kind.value = ptt.kind;
    for (const input of pttInputs(f)) {
      const [group, field] = input.name.split('.');
      const value = ptt[group][field];
      if (input.type === 'checkbox') input.checked = value;
      else input.value = String(value);
    }
    showPttKind(f);
    $('ptt-state').textContent = ptt.kind === 'SERIAL' ? ''
      : ptt.open ? 'Open: ' + ptt.device : (ptt.error ? 'Not open: ' + ptt.error : 'Not open');
    f.useDtr.checked = status.port.useDtr;
    f.useRts.checked = status.port.useRts;
    f.startOnDsr.checked = status.port.startOnDsr;
    f.startOnCts.checked = status.port.startOnCts;
    f.inhibitOnDcd.checked = status.port.inhibitOnDcd;
  },
  sound(f, s) {
    options(f.soundDevice, soundList(s), s.soundDevice);
    f.volume.value = s.volume;
    f.balance.value = s.balance;
    f.maxVolume.value = s.maxVolume;
    options(f.voiceFolder, [['', '(the built-in voice)'], ...s.folders.map((d) => [d, d])], s.voiceFolder);
  },
  files(f, s) {
    for (const k of ['headerFile', 'helloFile', 'goodbyeFile']) {
      const list = waveList(s);
      if (s[k] && !s.waveFiles.includes(s[k])) list.push([s[k], s[k]]);
      options(f[k], list, s[k]);
    }
  },
  upload() {},
  source(f, s) {
    const kinds = SOURCES.filter(([k]) => k in s.sources);
    const kind = f.kind.value && f.kind.value in s.sources ? f.kind.value : (s.source in s.sources ? s.source : kinds[0]?.[0]);
    options(f.kind, kinds, kind);
    const own = s.sources[kind];
    if (!own) return;
    f.file.value = own.file;
    f.refreshMinutes.value = own.refreshMinutes;
    const history = HISTORY_SOURCES.includes(kind);
    for (const el of $('source-form').querySelectorAll('[data-only]')) {
      const only = el.dataset.only;
      el.hidden = !(only === kind || (only === 'history' && history) || (only === 'favourites' && own.favourites));
    }
    if (history) {
      f.pressureOffset.value = own.pressureOffset;
      f.trendThreshold.value = own.trendThreshold;
      f.trendThreshold.max = own.trendMax;
    }
    if ('absolutePressure' in own) f.absolutePressure.checked = own.absolutePressure;
    if ('searchCurrentMonth' in own) f.searchCurrentMonth.checked = own.searchCurrentMonth;
    if (own.favourites) f.favourites.value = own.favourites.join('\n').replace(/\n+$/, '');
    $('source-error').hidden = !own.error;
    $('source-error').textContent = own.error;
  },
  program(f, s) {
    f.weatherAge.value = String(s.weatherAge);
    for (const k of ['sixteenPoints', 'recordWhilePlaying', 'releaseCheck', 'startAtLogin', 'startMinimized']) f[k].checked = s[k];
    f.recorderPath.value = s.recorderPath;
  },
};

// What each form asks the station to change.
const CHANGES = {
  message(f) {
    const change = { period: Number(f.period.value), startHour: Number(f.startHour.value),
      endHour: Number(f.endHour.value), pause: Number(f.pause.value), source: f.source.value,
      units: { temperature: f.temperature.value, pressure: f.pressure.value, wind: f.wind.value, rain: f.rain.value } };
    for (const k of ['header', 'hello', 'date', 'dateUS', 'timeIs', 'time', 'goodbye']) change[k] = f[k].checked;
    if (state.settings && f.source.value === state.settings.source) {
      change.items = {};
      for (const box of document.querySelectorAll('#item-boxes input')) change.items[box.name.slice(5)] = box.checked;
    }
    return change;
  },
  first(f) {
    const change = { port: f.port.value, soundDevice: Number(f.soundDevice.value), source: f.source.value,
      period: Number(f.period.value), startHour: Number(f.startHour.value), endHour: Number(f.endHour.value) };
    if (f.source.value !== 'NONE' && f.file.value) change.sources = { [f.source.value]: { file: f.file.value } };
    return change;
  },
  port(f) {
    const kind = f.kind.value;
    const change = { ptt: { kind } };
    if (kind === 'SERIAL') {
      change.port = f.port.value;
      for (const k of ['useDtr', 'useRts', 'startOnDsr', 'startOnCts', 'inhibitOnDcd']) change[k] = f[k].checked;
      return change;
    }
    // The chosen kind's own settings; the server checks them against the port model.
    const group = kind.toLowerCase();
    const own = {};
    for (const input of pttInputs(f).filter((i) => i.name.startsWith(group + '.'))) {
      const field = input.name.slice(group.length + 1);
      if (input.type === 'checkbox') own[field] = input.checked;
      else if (input.type === 'number' || input.tagName === 'SELECT') {
        own[field] = input.value.trim() === '' ? null : Number(input.value);
      } else own[field] = input.value;
    }
    change.ptt[group] = own;
    return change;
  },
  sound(f) {
    return { soundDevice: Number(f.soundDevice.value), volume: Number(f.volume.value), balance: Number(f.balance.value),
      maxVolume: Number(f.maxVolume.value), voiceFolder: f.voiceFolder.value };
  },
  files(f) {
    return { headerFile: f.headerFile.value, helloFile: f.helloFile.value, goodbyeFile: f.goodbyeFile.value };
  },
  source(f) {
    const kind = f.kind.value;
    const own = state.settings.sources[kind] || {};
    const mine = { file: f.file.value, refreshMinutes: Number(f.refreshMinutes.value) };
    if (HISTORY_SOURCES.includes(kind)) {
      mine.pressureOffset = Number(f.pressureOffset.value);
      mine.trendThreshold = Number(f.trendThreshold.value);
    }
    if ('absolutePressure' in own) mine.absolutePressure = f.absolutePressure.checked;
    if ('searchCurrentMonth' in own) mine.searchCurrentMonth = f.searchCurrentMonth.checked;
    const change = { sources: { [kind]: mine } };
    if (own.favourites) {
      const lines = f.favourites.value.split('\n').map((l) => l.trim()).slice(0, 10);
      while (lines.length < 10) lines.push('');
      change.favourites = { [kind]: lines };
    }
    return change;
  },
  program(f) {
    const change = { weatherAge: Number(f.weatherAge.value), recorderPath: f.recorderPath.value };
    for (const k of ['sixteenPoints', 'recordWhilePlaying', 'releaseCheck', 'startAtLogin', 'startMinimized']) change[k] = f[k].checked;
    return change;
  },
};

let lastStatus = null;
function fillAll(s) {
  if (!s) return;
  for (const form of document.querySelectorAll('form[data-form]')) {
    const name = form.dataset.form;
    if (!state.dirty.has(name)) FILLERS[name](form.elements, s, lastStatus);
  }
}

async function uploadWave(form) {
  const file = form.elements.wave.files[0];
  const name = form.elements.name.value || (file && file.name) || '';
  if (!file) return { ok: false, data: { error: 'Choose a wave file first.' } };
  const reply = await fetch('/api/upload?name=' + encodeURIComponent(name), {
    method: 'POST', credentials: 'same-origin', body: file,
    headers: { 'Content-Type': 'audio/wav', 'X-Auravox-Token': state.token } });
  let data = {};
  try { data = await reply.json(); } catch (e) { /* an empty answer */ }
  return { ok: reply.ok, status: reply.status, data };
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
  lastStatus = s.data;
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
  for (const select of document.querySelectorAll('select[name=startHour], select[name=endHour]')) {
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
  for (const form of document.querySelectorAll('form[data-form]')) {
    const name = form.dataset.form;
    form.addEventListener('input', () => { state.dirty.add(name); });
    form.addEventListener('change', (ev) => {
      // Another source chosen in the source form shows its own settings.
      if (name === 'port' && ev.target.name === 'kind') showPttKind(form.elements);
      if (name === 'source' && ev.target.name === 'kind' && state.settings) {
        FILLERS.source(form.elements, state.settings);
        state.dirty.delete(name);
      }
    });
    form.addEventListener('submit', async (ev) => {
      ev.preventDefault();
      const result = form.querySelector('output');
      result.textContent = '…';
      const r = name === 'upload' ? await uploadWave(form) : await api('/api/settings', CHANGES[name](form.elements));
      result.textContent = r.ok ? (name === 'upload' ? `Stored ${r.data.stored}.` : 'Saved.')
                                : (r.data.error || `Refused (${r.status}).`);
      if (r.ok) {
        state.dirty.delete(name);
        if (name === 'upload') form.reset();
        refresh();
      }
    });
  }
  refresh();
  setInterval(refresh, 1000);
}

document.addEventListener('DOMContentLoaded', setup);

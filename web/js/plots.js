// The three uPlot charts of one statistics version: packets, bytes, and
// drops with errors, each per second and per port.
import uPlot from '../vendor/uplot/uPlot.esm.js';
import { formatCount, formatRate, formatTime, usesLocalTime, zoneName } from './format.js';
import { runningTotal } from './stats.js';

const HEIGHT = 200;

// The charts, and for each its unit and lines: legend label, colour, the
// series, and the port whose byte count the line needs (if any).
const CHARTS = [
  {
    title: 'Packets per second',
    unit: 'packets/s',
    lines: [
      ['Port 1', '#2563eb', (s) => s.packets[0]],
      ['Port 2', '#0d9488', (s) => s.packets[1]],
    ],
  },
  {
    title: 'Bytes per second',
    unit: 'bytes/s (not bits)',
    lines: [
      ['Port 1', '#2563eb', (s) => s.bytes[0], 0],
      ['Port 2', '#0d9488', (s) => s.bytes[1], 1],
    ],
  },
  {
    title: 'Drops and errors in the window',
    unit: 'packets',
    stepped: true,
    lines: [
      ['Port 1 dropped by the hardware', '#dc2626', (s) => runningTotal(s.drops[0])],
      ['Port 2 dropped by the hardware', '#f97316', (s) => runningTotal(s.drops[1])],
      ['Port 1 errors', '#7c3aed', (s) => runningTotal(s.errors[0])],
      ['Port 2 errors', '#db2777', (s) => runningTotal(s.errors[1])],
      ['Dropped by the software', '#64748b', (s) => runningTotal(s.softwareDropped)],
    ],
  },
];

// Time ticks as a 24-hour clock; seconds only when the span is short, and
// then the ticks stand farther apart, so that the longer labels never touch.
const SECONDS_SPAN = 180;
function timeTicks(u, splits) {
  const span = u.scales.x.max - u.scales.x.min;
  return splits.map((v) => (span > SECONDS_SPAN ? formatTime(v).slice(0, 5) : formatTime(v)));
}
function timeTickSpace(u, axis, min, max) {
  return max - min > SECONDS_SPAN ? 50 : 80;
}

// The axis ticks are placed on whole minutes and seconds of the chosen zone,
// as labelled.
function zoneDate(seconds) {
  const date = new Date(seconds * 1000);
  return usesLocalTime() ? date : uPlot.tzDate(date, 'Etc/UTC');
}

function chartOptions(chart, width) {
  const axis = { stroke: '#475569', grid: { stroke: '#e2e8f0', width: 1 }, ticks: { stroke: '#cbd5e1', width: 1 } };
  const paths = chart.stepped ? uPlot.paths.stepped({ align: 1 }) : undefined;
  return {
    width,
    height: HEIGHT,
    tzDate: zoneDate,
    legend: { live: false },
    cursor: { show: false },
    scales: { y: { range: (u, min, max) => [0, max > 0 ? max * 1.1 : 1] } },
    axes: [
      { ...axis, values: timeTicks, space: timeTickSpace, label: `Time (${zoneName()})`, labelSize: 20, labelFont: '12px system-ui, sans-serif' },
      {
        ...axis, size: 52, values: (u, splits) => splits.map(formatRate),
        label: chart.unit, labelSize: 20, labelFont: '12px system-ui, sans-serif',
      },
    ],
    series: [
      {},
      ...chart.lines.map(([label, colour]) => ({
        label,
        stroke: colour,
        width: 1.5,
        paths,
        points: { show: false },
        spanGaps: false,
      })),
    ],
  };
}

// The newest value of each line, as a sentence: the chart's text for those
// who cannot see it.
function describe(chart, values) {
  const latest = chart.lines.map(([label], k) => {
    const list = values[k];
    for (let i = list.length - 1; i >= 0; --i) {
      if (list[i] !== null && Number.isFinite(list[i])) return `${label} ${formatCount(list[i])}`;
    }
    return `${label} no value`;
  });
  return `${chart.title}, latest values in ${chart.unit.replace(' (not bits)', '')}: ${latest.join(', ')}.`;
}

// Builds the charts inside `container` (emptied first); a line that needs a
// port's bytes is left out where `bytesOf` says the version has none, so no
// legend entry stands without a line. The returned update(series) redraws
// them from a version's rate series.
export function createVersionPlots(container, bytesOf = [true, true]) {
  container.replaceChildren();
  const charts = CHARTS.map((all) => {
    const chart = { ...all, lines: all.lines.filter((line) => line[3] === undefined || bytesOf[line[3]]) };
    const figure = document.createElement('figure');
    figure.className = 'plot';
    const caption = document.createElement('figcaption');
    caption.textContent = chart.title;
    const holder = document.createElement('div');
    holder.className = 'plot-canvas';
    holder.setAttribute('role', 'img');
    holder.setAttribute('aria-label', `${chart.title}: no samples yet.`);
    figure.append(caption, holder);
    container.append(figure);
    const empty = [[], ...chart.lines.map(() => [])];
    const plot = new uPlot(chartOptions(chart, Math.max(holder.clientWidth, 200)), empty, holder);
    // The grid decides each chart's width; the chart follows it.
    new ResizeObserver(() => {
      const width = Math.floor(holder.clientWidth);
      if (width > 0 && width !== plot.width) plot.setSize({ width, height: HEIGHT });
    }).observe(holder);
    return { chart, plot, holder };
  });

  return {
    update(series) {
      for (const { chart, plot, holder } of charts) {
        const values = chart.lines.map(([, , pick]) => pick(series).slice());
        plot.setData([series.times.slice(), ...values]);
        holder.dataset.points = String(series.times.length);
        holder.setAttribute('aria-label', describe(chart, values));
      }
    },
  };
}

// The radcon report: builds the page's tables and Chart.js charts from the run's
// data (the JSON element radcon-data). Everything shown is text or canvas made
// here; nothing from the data is ever read as markup.
"use strict";
(function () {
  const started = performance.now();
  const body = document.body;
  let problems = 0;
  window.addEventListener("error", function () { body.dataset.errors = String(++problems); });

  const data = JSON.parse(document.getElementById("radcon-data").textContent);
  const root = document.getElementById("report");
  const genes = data.genes;
  const batch = data.inputs > 1;

  // ---- small helpers ----
  function el(tag, props, children) {
    const e = document.createElement(tag);
    if (props) for (const k in props) {
      if (k === "text") e.textContent = props[k];
      else if (k === "cls") e.className = props[k];
      else e.setAttribute(k, props[k]);
    }
    if (children) for (const c of children) if (c) e.appendChild(c);
    return e;
  }
  // As the tables print them: six decimals, or six significant digits (%.6g).
  function fixed(v) { return v === null ? "NA" : v.toFixed(6); }
  function general(v) {
    if (v === null) return "NA";
    if (v === 0) return "0";
    const parts = v.toExponential(5).split("e");
    const exp = Number(parts[1]);
    const strip = (s) => (s.indexOf(".") < 0 ? s : s.replace(/0+$/, "").replace(/\.$/, ""));
    if (exp < -4 || exp >= 6) {
      const a = Math.abs(exp);
      return strip(parts[0]) + "e" + (exp < 0 ? "-" : "+") + (a < 10 ? "0" : "") + a;
    }
    return strip(v.toFixed(5 - exp));
  }
  function cell(text, cls) {
    if (text === "NA") cls = "na";
    return el("td", cls ? { text: text, cls: cls } : { text: text });
  }
  function pValueCell(p) { return cell(general(p), p !== null && p < 0.05 ? "sig" : ""); }
  const palette = ["#4e79a7", "#f28e2b", "#e15759", "#76b7b2", "#59a14f", "#edc948", "#b07aa1", "#ff9da7",
    "#9c755f", "#bab0ac"];
  function section(title) { const s = el("section"); s.appendChild(el("h2", { text: title })); root.appendChild(s); return s; }
  function chartFigure(parent, id, caption, aspect) {
    const canvas = el("canvas", { id: id, role: "img", "aria-label": caption });
    const box = el("div", { cls: "chart-box" }, [canvas]);
    const cap = el("figcaption", { text: caption });
    const fig = el("figure", null, [box, cap]);
    parent.appendChild(fig);
    return { canvas: canvas, caption: cap, figure: fig, aspect: aspect || 1.4 };
  }
  // The last row of an alignment's means is that of every pair.
  function allRow(g) { return g.means.length ? g.means[g.means.length - 1] : null; }
  // Means rows carry the means table's column names (clade1 and clade2 as clade numbers, -1 for every pair).

  // Every chart says when it has been drawn, for the page's own tests.
  Chart.register({ id: "radconDrawn", afterRender: (chart) => { chart.canvas.dataset.rendered = "1"; } });
  // Hovering over a profile picks, in each ratio's line, the window whose middle is
  // nearest, whatever else the chart draws there.
  Chart.Interaction.modes.window = function (chart, e) {
    const x = chart.scales.x.getValueForPixel(e.x);
    const items = [];
    chart.data.datasets.forEach((d, di) => {
      if (!d.test || !chart.isDatasetVisible(di) || !d.data.length) return;
      let best = 0;
      d.data.forEach((p, n) => { if (Math.abs(p.x - x) < Math.abs(d.data[best].x - x)) best = n; });
      items.push({ element: chart.getDatasetMeta(di).data[best], datasetIndex: di, index: best });
    });
    return items;
  };
  Chart.defaults.animation = false;
  Chart.defaults.font.family = getComputedStyle(body).fontFamily;
  Chart.defaults.color = "#1d2330";

  // ---- the run ----
  root.appendChild(el("h1", { text: "radcon report" }));
  const failed = data.failures.length;
  root.appendChild(el("p", { cls: "subtitle", text: batch
    ? data.inputs + " alignments" + (failed ? ", " + failed + " failed" : "")
    : (genes.length ? "Alignment " + genes[0].gene : "") }));

  const run = section("Run");
  const dl = el("dl", { cls: "run" });
  function item(term, value, cls) {
    dl.appendChild(el("dt", { text: term }));
    dl.appendChild(el("dd", cls ? { text: value, cls: cls } : { text: value }));
  }
  item("radcon", "version " + data.version);
  item("Command", data.command, "command");
  item("Inputs", data.inputs + (data.inputs === 1 ? " alignment" : " alignments") +
    (failed ? ", " + failed + " failed" : ", none failed"));
  item("Corrected N and S", (data.correction ? "yes (" : "no (") + data.correction + ")");
  item("Ts/Tv", data.tsTvEstimated ? "estimated from each alignment (at its fourfold-degenerate sites)"
    : general(data.typedTsTv) + " as typed; κ = " + general(data.tsTvRatio) + " in the site model");
  item("Site model", data.siteModel === "mutation"
    ? "mutation: each mutation weighed once, mutations to stop codons lost"
    : "neighbour: each codon's neighbours weighed, three sites a codon");
  item("Ka/Ks", general(data.KaKsRatio));
  item("Grouping", data.grouping);
  item("Genetic code", data.geneticCode + ": " + data.geneticCodeName);
  if (data.reference) item("Reference", data.reference + " (only its pairs)");
  item("Wall time", data.wallSeconds.toFixed(2) + " s");
  run.appendChild(dl);
  run.appendChild(el("h3", { text: "Amino-acid groups" }));
  run.appendChild(el("p", { cls: "note", text: "A change within a group is conservative; between groups, radical." }));
  const groupRows = data.groups.map((g, k) => el("tr", null, [cell(String(k + 1)), cell(g)]));
  run.appendChild(el("table", { cls: "groups" }, [
    el("thead", null, [el("tr", null, [el("th", { text: "group" }), el("th", { text: "amino acids" })])]),
    el("tbody", null, groupRows)]));
  if (failed) {
    run.appendChild(el("h3", { text: "Failed inputs" }));
    run.appendChild(el("ul", { cls: "failures" }, data.failures.map((f) =>
      el("li", null, [el("code", { text: f.file }), document.createTextNode(": " + f.message)]))));
  }

  // ---- the genes of a batch ----
  let pickGene = null;  // set below: shows one gene's means and charts
  let picked = -1;
  let markPicked = () => {};
  let fillGenes = () => {};  // the genes' rows go in last: the charts measure a lighter page
  if (batch) {
    const sec = section("Genes");
    const rows = genes.map((g, k) => ({ g: g, k: k, all: allRow(g) }));
    const ratios = rows.filter((r) => r.all && r.all.dR_dC !== null);
    const charts = el("div", { cls: "charts" });
    sec.appendChild(charts);

    // Distribution of per-gene dR/dC (mean dR over mean dC, every pair).
    const hist = chartFigure(charts, "chart-histogram", "Per-gene dR/dC (mean dR / mean dC over every pair): " +
      ratios.length + " of " + genes.length + " genes; " + (genes.length - ratios.length) + " with dR/dC NA not counted.");
    const values = ratios.map((r) => r.all.dR_dC);
    let lo = values.reduce((a, v) => Math.min(a, v), Infinity), hi = values.reduce((a, v) => Math.max(a, v), -Infinity);
    if (!values.length) { lo = 0; hi = 1; }
    if (lo === hi) { lo -= 0.5; hi += 0.5; }
    const bins = Math.min(40, Math.max(5, Math.ceil(Math.sqrt(values.length))));
    const width = (hi - lo) / bins;
    const counts = new Array(bins).fill(0);
    for (const v of values) counts[Math.min(bins - 1, Math.floor((v - lo) / width))]++;
    new Chart(hist.canvas, {
      type: "bar",
      data: { labels: counts.map((_, b) => (lo + b * width).toPrecision(3) + "–" + (lo + (b + 1) * width).toPrecision(3)),
        datasets: [{ label: "genes", data: counts, backgroundColor: "#4e79a7", barPercentage: 1, categoryPercentage: 1 }] },
      options: { aspectRatio: hist.aspect, plugins: { legend: { display: false } },
        scales: { x: { title: { display: true, text: "dR/dC" } }, y: { beginAtZero: true, title: { display: true, text: "genes" }, ticks: { precision: 0 } } } },
    });

    // dR/dC against −log10 p of the test of dR against dC: the jackknife's when
    // the run has one (its level holds where the analytic one is too liberal).
    const jack = rows.some((r) => r.all && r.all.jack_p_dR_dC !== undefined);
    const pOf = (r) => (jack ? r.all.jack_p_dR_dC : r.all.p_dR_dC);
    const drawable = ratios.filter((r) => pOf(r) !== null && pOf(r) !== undefined);
    const finite = drawable.filter((r) => pOf(r) > 0);
    const top = finite.reduce((a, r) => Math.max(a, -Math.log10(pOf(r))), 10) * 1.05;
    const point = (r) => ({ x: r.all.dR_dC, y: pOf(r) > 0 ? -Math.log10(pOf(r)) : top, k: r.k });
    const zeros = drawable.length - finite.length;
    const volcano = chartFigure(charts, "chart-volcano", "Per-gene dR/dC against −log10 p (" +
      (jack ? "jackknife t test" : "z test") + " of mean dR against mean dC): " +
      drawable.length + " genes drawn, " + (genes.length - drawable.length) + " with dR/dC or p NA not drawn" +
      (zeros ? "; " + zeros + " with p = 0 (below double precision) drawn as triangles at the top" : "") + ". Click a gene to show it.");
    const sig = (r) => pOf(r) < 0.05;
    new Chart(volcano.canvas, {
      type: "scatter",
      data: { datasets: [
        { label: "p < 0.05", data: finite.filter(sig).map(point), backgroundColor: "#e15759", pointRadius: 3 },
        { label: "p ≥ 0.05", data: finite.filter((r) => !sig(r)).map(point), backgroundColor: "#9aa3ad", pointRadius: 3 },
        { label: "p = 0", data: drawable.filter((r) => pOf(r) === 0).map(point), backgroundColor: "#b03a2e", pointStyle: "triangle", pointRadius: 5 },
      ] },
      options: { aspectRatio: volcano.aspect,
        scales: { x: { title: { display: true, text: "dR/dC" } }, y: { beginAtZero: true, title: { display: true, text: "−log10 p" } } },
        plugins: { tooltip: { callbacks: { label: (c) => genes[c.raw.k].gene + ": dR/dC " + fixed(rows[c.raw.k].all.dR_dC) + ", p " + general(pOf(rows[c.raw.k])) } } },
        onClick: (e, items, chart) => {
          if (items.length) pickGene(chart.data.datasets[items[0].datasetIndex].data[items[0].index].k, true);
        } },
    });

    // One sortable row per gene.
    const columns = [
      { name: "gene", get: (r) => r.g.gene, text: true },
      { name: "sequences", get: (r) => r.g.sequences },
      { name: "codons", get: (r) => r.g.codons },
      { name: "pairs", get: (r) => r.g.pairs },
      { name: "pairs NA", get: (r) => (r.all ? r.all.pairs_undefined_dR_dC : null), title: "pairs with dR or dC undefined" },
      { name: "Ts/Tv", get: (r) => genes[r.k].tstv, fmt: general, title: "the Ts/Tv ratio the gene was analysed with" },
      { name: "dN/dS", get: (r) => r.all && r.all.dN_dS, fmt: fixed },
      { name: "z dN−dS", get: (r) => r.all && r.all.z_dN_dS, fmt: fixed },
      { name: "p dN−dS", get: (r) => r.all && r.all.p_dN_dS, p: true },
      { name: "dR", get: (r) => r.all && r.all.dR, fmt: fixed },
      { name: "se dR", get: (r) => r.all && r.all.se_dR, fmt: fixed },
      { name: "dC", get: (r) => r.all && r.all.dC, fmt: fixed },
      { name: "se dC", get: (r) => r.all && r.all.se_dC, fmt: fixed },
      { name: "dR/dC", get: (r) => r.all && r.all.dR_dC, fmt: fixed },
      { name: "z dR−dC", get: (r) => r.all && r.all.z_dR_dC, fmt: fixed },
      { name: "p dR−dC", get: (r) => r.all && r.all.p_dR_dC, p: true },
    ].concat(jack ? [
      { name: "jackknife p dR−dC", get: (r) => r.all && r.all.jack_p_dR_dC, p: true, title: "Student's t test of mean dR against mean dC with the jackknife's error" },
    ] : []).concat([
      { name: "charts", get: (r) => (r.g.charts ? "yes" : "no"), text: true },
    ]);
    sec.appendChild(el("h3", { text: "Every gene" }));
    sec.appendChild(el("p", { cls: "note", text: "Means over every pair. Click a heading to sort, a row to show the gene below. " +
      "The page carries the pairs (for the charts) of " + genes.filter((g) => g.charts).length + " genes: the first " +
      "ones and any named with --html-genes." }));
    const table = el("table", { cls: "sortable", id: "gene-table" });
    const headRow = el("tr");
    const tbody = el("tbody");
    let sortBy = -1, ascending = true;
    function fill() {
      const order = rows.slice();
      if (sortBy >= 0) {
        const c = columns[sortBy];
        order.sort((a, b) => {
          const x = c.get(a), y = c.get(b);
          if (x === null || x === undefined) return y === null || y === undefined ? a.k - b.k : 1;
          if (y === null || y === undefined) return -1;
          const d = c.text ? String(x).localeCompare(String(y)) : x - y;
          return (ascending ? d : -d) || a.k - b.k;
        });
      }
      tbody.textContent = "";
      for (const r of order) {
        const tr = el("tr", { cls: "pickable", "data-gene": String(r.k) }, columns.map((c) => {
          const v = c.get(r);
          if (c.p) return pValueCell(v === undefined ? null : v);
          if (v === null || v === undefined) return cell("NA");
          return cell(c.fmt ? c.fmt(v) : String(v));
        }));
        tr.addEventListener("click", () => pickGene(r.k, true));
        tbody.appendChild(tr);
      }
      markPicked();
    }
    columns.forEach((c, n) => {
      const th = el("th", { text: c.name, title: c.title || "sort by " + c.name, scope: "col" });
      th.addEventListener("click", () => {
        ascending = sortBy === n ? !ascending : true;
        sortBy = n;
        for (const h of headRow.children) h.removeAttribute("aria-sort");
        th.setAttribute("aria-sort", ascending ? "ascending" : "descending");
        fill();
      });
      headRow.appendChild(th);
    });
    table.appendChild(el("thead", null, [headRow]));
    table.appendChild(tbody);
    sec.appendChild(el("div", { cls: "table-scroll" }, [table]));
    markPicked = () => {
      for (const tr of tbody.children) tr.classList.toggle("picked", Number(tr.dataset.gene) === picked);
    };
    fillGenes = fill;
  }

  // ---- one alignment: means, and the charts of its pairs ----
  const geneSection = section(batch ? "Gene" : "Alignment");
  const picker = el("p");
  const geneBody = el("div");
  geneSection.appendChild(picker);
  geneSection.appendChild(geneBody);
  let live = [];

  function groupName(g, row) {
    if (row.clade1 < 0) return "all pairs";
    const a = g.clades[row.clade1], b = g.clades[row.clade2];
    return row.clade1 === row.clade2 ? a : a + " × " + b;
  }
  // Means of one test a table: radical against conservative, then nonsynonymous against synonymous.
  // With the jackknife, its z and p follow the analytic ones; with an expected
  // dR/dC (which the jackknife's dR-dC test then takes), that ratio, the omega
  // of the model behind it and the pairs it left out, last.
  function meansTable(g, id, a, seA, b, seB, ratio, z, p, undef, names) {
    const jack = g.means.length && g.means[0]["jack_" + p] !== undefined;
    const expected = ratio === "dR_dC" && g.means.some((m) => m.expected_dR_dC !== undefined);
    const head = ["pairs of", "pairs", "pairs NA"].concat(names, jack ? ["jackknife z", "jackknife p"] : [],
      expected ? ["expected dR/dC", "fitted ω", "pairs left out"] : []);
    const rows = g.means.map((m) => el("tr", null, [
      cell(groupName(g, m)), cell(String(m.pairs)), cell(String(m[undef])),
      cell(fixed(m[a])), cell(fixed(m[seA])), cell(fixed(m[b])), cell(fixed(m[seB])),
      cell(fixed(m[ratio])), cell(fixed(m[z])), pValueCell(m[p])].concat(
      jack ? [cell(fixed(m["jack_" + z])), pValueCell(m["jack_" + p])] : [],
      expected ? [cell(m.expected_dR_dC === undefined ? "NA" : fixed(m.expected_dR_dC)),
        cell(m.expected_omega === undefined ? "NA" : general(m.expected_omega)),
        cell(m.expected_pairs_out === undefined ? "NA" : String(m.expected_pairs_out))] : [])));
    return el("div", { cls: "table-scroll" }, [el("table", { id: id }, [
      el("thead", null, [el("tr", null, head.map((h) => el("th", { text: h, scope: "col" })))]),
      el("tbody", null, rows)])]);
  }

  function scatter(parent, g, c) {
    const n = c.i.length;
    const name = (s) => c.names[s];
    const cladePair = (k) => {
      if (!c.clade.length) return "pairs";
      const a = c.clade[c.i[k]], b = c.clade[c.j[k]];
      return a === b ? g.clades[a] : g.clades[Math.min(a, b)] + " × " + g.clades[Math.max(a, b)];
    };
    const groups = new Map();
    const bars = [];
    // Beyond this many pairs error bars would only cover the points (and slow the page).
    const withBars = n <= 2000;
    let drawn = 0, most = 0;
    for (let k = 0; k < n; k++) {
      const x = c.dC[k], y = c.dR[k];
      if (x === null || y === null) continue;
      drawn++;
      const key = cladePair(k);
      if (!groups.has(key)) groups.set(key, []);
      groups.get(key).push({ x: x, y: y, k: k });
      most = Math.max(most, x, y);
      if (withBars && c.seC[k] !== null) bars.push({ x: x - c.seC[k], y: y }, { x: x + c.seC[k], y: y }, { x: null, y: null });
      if (withBars && c.seR[k] !== null) bars.push({ x: x, y: y - c.seR[k] }, { x: x, y: y + c.seR[k] }, { x: null, y: null });
    }
    const kept = g.sequences > data.maxSequences
      ? " The page carries the pairs among the first " + data.maxSequences + " of " + g.sequences + " sequences (" + n + " of " + g.pairs + " pairs)."
      : "";
    const f = chartFigure(parent, "chart-scatter", "dR against dC, one point per pair" +
      (withBars ? ", with ±1 standard error: " : " (standard errors in the tooltips; bars are drawn up to 2,000 pairs): ") +
      drawn + " pairs drawn; " + (n - drawn) + " with dR or dC undefined (NA) not drawn." + kept);
    const datasets = [];
    let colour = 0;
    for (const [key, points] of groups) {
      const col = palette[colour++ % palette.length];
      datasets.push({ label: key, data: points, backgroundColor: col, borderColor: col, pointRadius: withBars ? 3 : 2,
        parsing: false, normalized: true });
    }
    if (withBars) datasets.push({ label: "±1 standard error", data: bars, showLine: true, pointRadius: 0, borderWidth: 1,
      borderColor: "rgba(90,100,115,0.45)", backgroundColor: "rgba(90,100,115,0.45)", spanGaps: false, bars: true });
    datasets.push({ label: "dR = dC", data: [{ x: 0, y: 0 }, { x: most || 1, y: most || 1 }], showLine: true,
      pointRadius: 0, borderColor: "#333", borderDash: [6, 4], borderWidth: 1.2, backgroundColor: "#333", line: true });
    live.push(new Chart(f.canvas, {
      type: "scatter",
      data: { datasets: datasets },
      options: { aspectRatio: f.aspect,
        scales: { x: { beginAtZero: true, title: { display: true, text: "dC (conservative)" } },
          y: { beginAtZero: true, title: { display: true, text: "dR (radical)" } } },
        plugins: { tooltip: { filter: (t) => !t.dataset.bars && !t.dataset.line,
          callbacks: { label: (t) => { const k = t.raw.k; return name(c.i[k]) + " – " + name(c.j[k]) + ": dR " + general(c.dR[k]) +
            " ± " + general(c.seR[k]) + ", dC " + general(c.dC[k]) + " ± " + general(c.seC[k]) + ", dR/dC " + fixed(c.ratio[k]); } } } } },
    }));
  }

  // Diverging colours on log2 dR/dC in 17 levels: blue below 1, red above, pale at 1.
  const kLevels = 8;
  function levelOf(r) { return Math.round(Math.max(-1, Math.min(1, Math.log2(r) / 2)) * kLevels); }
  function levelColour(level) {
    const s = Math.abs(level) / kLevels;
    const to = level < 0 ? [33, 102, 172] : [178, 24, 43];
    const mix = (a, b) => Math.round(a + (b - a) * s);
    return "rgb(" + mix(247, to[0]) + "," + mix(247, to[1]) + "," + mix(247, to[2]) + ")";
  }

  function heatMap(parent, g, c) {
    const size = c.names.length;
    const levels = new Map();
    const missing = [];
    let coloured = 0;
    for (let k = 0; k < c.i.length; k++) {
      const r = c.ratio[k];
      let to = missing;
      if (r !== null) {
        const level = levelOf(r);
        if (!levels.has(level)) levels.set(level, []);
        to = levels.get(level);
        coloured++;
      }
      to.push({ x: c.j[k], y: c.i[k], k: k }, { x: c.i[k], y: c.j[k], k: k });
    }
    const f = chartFigure(parent, "chart-heatmap", "Pairwise dR/dC, sequences in alignment order: " + coloured +
      " pairs coloured; " + missing.length / 2 + " with dR/dC undefined (NA) in grey." +
      (g.sequences > size ? " The first " + size + " of " + g.sequences + " sequences." : ""), 1);
    const scale = el("div", { cls: "scale" }, [el("span", { text: "dR/dC ≤ 0.25" }), el("span", { cls: "bar" }),
      el("span", { text: "≥ 4 (1 in the middle)" }), el("span", { cls: "na-swatch" }), el("span", { text: "NA" })]);
    f.figure.appendChild(scale);
    const label = (v) => (Number.isInteger(v) && v >= 0 && v < size ? (c.names[v].length > 14 ? c.names[v].slice(0, 13) + "…" : c.names[v]) : "");
    const axis = (reverse) => ({ type: "linear", min: -0.5, max: size - 0.5, reverse: reverse, grid: { display: false },
      afterBuildTicks: (s) => { s.ticks = Array.from({ length: size }, (_, v) => ({ value: v })); },
      ticks: { autoSkip: true, callback: label, font: { size: size > 40 ? 8 : 10 } } });
    const level = (data, colour) => ({ data: data, pointStyle: "rect", pointRadius: 1, pointHoverRadius: 1, borderWidth: 0,
      backgroundColor: colour, hoverBackgroundColor: colour, parsing: false, normalized: true });
    const datasets = [...levels.keys()].sort((a, b) => a - b).map((l) => level(levels.get(l), levelColour(l)));
    datasets.push(level(missing, "#c8ccd2"));
    live.push(new Chart(f.canvas, {
      type: "scatter",
      data: { datasets: datasets },
      options: { aspectRatio: 1, scales: { x: axis(false), y: axis(true) },
        plugins: { legend: { display: false }, tooltip: { callbacks: { label: (t) => {
          const k = t.raw.k; return c.names[c.i[k]] + " – " + c.names[c.j[k]] + ": dR/dC " + fixed(c.ratio[k]); } } } } },
      // One square a cell: its size follows the plot area, known once the axes are laid out.
      plugins: [{ id: "cells", afterLayout: (chart) => {
        const a = chart.chartArea;
        const r = Math.max(0.6, Math.min(a.right - a.left, a.bottom - a.top) / size / Math.SQRT2);
        for (const d of chart.data.datasets) d.pointRadius = d.pointHoverRadius = r;
      } }],
    }));
  }

  // The profile along the gene: dR/dC and dN/dS of every pair in windows of codon
  // columns, and beneath on the same codon axis each codon's mean differences.
  function profile(parent, g, p) {
    const part = el("div", { cls: "profile" });
    part.appendChild(el("h3", { id: "gene-profile", text: "Profile along the gene" }));
    parent.appendChild(part);
    const w = p.windows;
    if (!w.length) { part.appendChild(el("p", { cls: "note", text: "No windows: the alignment has no codons." })); return; }
    const width = w[0].end - w[0].start + 1;
    // The last window ends at the gene's end, a shorter step after the one before when the steps do not reach it.
    const lastShifted = w.length > 1 && w[w.length - 1].start - w[w.length - 2].start !== p.step;
    const span = (v) => "codons " + v.start + "–" + v.end;
    const mid = (v) => (v.start + v.end) / 2;
    const axisMin = 0.5, axisMax = g.codons + 0.5;
    // Both charts keep the same plot area, so that their codon axes line up.
    const yAxis = (title, extra) => Object.assign({ beginAtZero: true, title: { display: true, text: title },
      afterFit: (s) => { s.width = 64; } }, extra || {});
    const xAxis = (title) => ({ type: "linear", min: axisMin, max: axisMax, title: { display: true, text: title },
      afterBuildTicks: (s) => { s.ticks = s.ticks.filter((t) => Number.isInteger(t.value)); } });

    const tests = [
      { name: "dR/dC", ratio: "dR_dC", se: "se_dR_dC", q: "q_dR_dC", colour: "#4e79a7", band: "rgba(78,121,167,0.18)" },
      { name: "dN/dS", ratio: "dN_dS", se: "se_dN_dS", q: "q_dN_dS", colour: "#f28e2b", band: "rgba(242,142,43,0.18)" },
    ];
    const datasets = [];
    const sig = [];
    const missing = [];
    for (const t of tests) {
      // A band only where the ratio and its standard error exist: an undefined window is a gap.
      const bound = (v, sign) => (v[t.ratio] === null || v[t.se] === null ? null
        : Math.max(0, v[t.ratio] + sign * 1.96 * v[t.se]));
      const band = { group: t.name, band: true, showLine: true, pointRadius: 0, pointHitRadius: 0, borderWidth: 0,
        spanGaps: false, parsing: false, backgroundColor: t.band };
      datasets.push(Object.assign({ label: t.name + " − 1.96 se", data: w.map((v) => ({ x: mid(v), y: bound(v, -1) })),
        fill: false }, band));
      datasets.push(Object.assign({ label: t.name + " ± 1.96 se", data: w.map((v) => ({ x: mid(v), y: bound(v, 1) })),
        fill: "-1" }, band));
      datasets.push({ label: t.name, group: t.name, test: t, data: w.map((v, n) => ({ x: mid(v), y: v[t.ratio], w: n })),
        showLine: true, spanGaps: false, parsing: false, borderColor: t.colour, backgroundColor: t.colour,
        borderWidth: 2, pointRadius: 2.5 });
      for (let n = 0; n < w.length; n++) if (w[n][t.q] !== null && w[n][t.q] < 0.05 && w[n][t.ratio] !== null)
        sig.push({ x: mid(w[n]), y: w[n][t.ratio], w: n });
      missing.push(w.filter((v) => v[t.ratio] === null).length + " with " + t.name + " NA");
    }
    datasets.push({ label: "q < 0.05", group: "q", sig: true, order: -1, data: sig, parsing: false, backgroundColor: "#d62728",
      borderColor: "#7a1518", borderWidth: 1, pointRadius: 5, pointHoverRadius: 6 });
    datasets.push({ label: "ratio = 1", group: "one", line: true, data: [{ x: axisMin, y: 1 }, { x: axisMax, y: 1 }],
      showLine: true, parsing: false, pointRadius: 0, pointHitRadius: 0, borderColor: "#333", borderDash: [6, 4],
      borderWidth: 1.2, backgroundColor: "#333" });
    const windows = w.length === 1 ? "one window, the whole gene"
      : w.length + " windows of " + width + " codons every " + p.step + (lastShifted ? " (the last ending at the gene's end)" : "");
    const f = chartFigure(part, "profile", "dR/dC and dN/dS along the gene (means over every pair) in " + windows +
      ", drawn at each window's middle codon, with bands of ±1.96 standard errors (clamped at 0) and the line ratio = 1. " +
      "Red points: windows whose test gives q < 0.05 (Benjamini-Hochberg over the gene's windows). Left out, as gaps: " +
      missing.join(", ") + ". Overlapping windows share codons, so neighbouring windows are not independent.", 3);
    live.push(new Chart(f.canvas, {
      type: "scatter",
      data: { datasets: datasets },
      options: { aspectRatio: f.aspect, interaction: { mode: "window", intersect: false },
        scales: { x: xAxis("codon (window's middle)"), y: yAxis("ratio") },
        plugins: {
          // One legend entry a ratio: it shows or hides the ratio's line and band together.
          legend: { labels: { filter: (item, d) => !d.datasets[item.datasetIndex].band,
            sort: (a, b) => a.datasetIndex - b.datasetIndex },
            onClick: (e, item, legend) => {
              const chart = legend.chart, group = chart.data.datasets[item.datasetIndex].group;
              const shown = !chart.isDatasetVisible(item.datasetIndex);
              chart.data.datasets.forEach((d, n) => { if (d.group === group) chart.setDatasetVisibility(n, shown); });
              chart.update();
            } },
          tooltip: { callbacks: { title: (items) => (items.length ? span(w[items[0].raw.w]) : ""),
              label: (t) => { const v = w[t.raw.w], c = t.dataset.test;
                return c.name + " " + fixed(v[c.ratio]) + ", se " + fixed(v[c.se]) + ", q " + general(v[c.q]); } } } } },
    }));

    // Each codon's mean radical and conservative differences per pair, stacked.
    const codon = (values) => values.map((v, n) => ({ x: n + 1, y: v }));
    const bars = chartFigure(part, "profile-codons", "Mean radical and conservative differences per pair at each codon " +
      "over every pair (stacked: a bar's height is their sum), on the codon axis of the profile above.", 5);
    live.push(new Chart(bars.canvas, {
      type: "bar",
      data: { datasets: [
        { label: "radical", data: codon(p.radical), backgroundColor: "#e15759", barPercentage: 1, categoryPercentage: 1, inflateAmount: 0 },
        { label: "conservative", data: codon(p.conservative), backgroundColor: "#9aa3ad", barPercentage: 1, categoryPercentage: 1, inflateAmount: 0 },
      ] },
      options: { aspectRatio: bars.aspect, interaction: { mode: "index", intersect: false },
        scales: { x: Object.assign(xAxis("codon"), { stacked: true, offset: false, grid: { display: false } }),
          y: yAxis("differences per pair", { stacked: true }) },
        plugins: { tooltip: { callbacks: { title: (items) => (items.length ? "codon " + items[0].raw.x : ""),
          label: (t) => t.dataset.label + " " + fixed(t.raw.y) } } } },
    }));
  }

  function showGene(k) {
    for (const chart of live) chart.destroy();
    live = [];
    geneBody.textContent = "";
    const g = genes[k];
    if (!g) { geneBody.appendChild(el("p", { cls: "note", text: "No alignment was analysed." })); return; }
    geneBody.appendChild(el("p", { cls: "note", text: g.gene + ": " + g.sequences + " sequences of " + g.codons + " codons, " +
      g.pairs + " pairs; " + g.noRadical + " pairs without a dR or dC distance (NA)" +
      (allRow(g) ? ", " + allRow(g).pairs_undefined_dR_dC + " left out of the dR and dC means and their test, " +
        allRow(g).pairs_undefined_dN_dS + " out of the dN and dS ones (a distance undefined)." : ".") }));
    geneBody.appendChild(el("p", { cls: "note", text: "Ts/Tv " + general(g.tstv) +
      (g.tstvLower !== null ? ", estimated (95 % interval " + general(g.tstvLower) + " to " + general(g.tstvUpper) + ")"
        : data.tsTvEstimated ? ", not estimated: no bias assumed" : "") + "." }));
    if (g.tstvNote) geneBody.appendChild(el("p", { cls: "note warning", text: "Ts/Tv: " + g.tstvNote }));
    if (g.charts) {
      const charts = el("div", { cls: "charts" });
      geneBody.appendChild(charts);
      scatter(charts, g, g.charts);
      heatMap(charts, g, g.charts);
      if (g.profile) profile(geneBody, g, g.profile);
    } else {
      geneBody.appendChild(el("p", { cls: "note", text: "This page does not carry the pairs of " + g.gene +
        "; name it with --html-genes to see its charts." }));
    }
    geneBody.appendChild(el("h3", { text: "Means, standard errors and z tests: radical against conservative" }));
    geneBody.appendChild(meansTable(g, "means-rc", "dR", "se_dR", "dC", "se_dC", "dR_dC", "z_dR_dC", "p_dR_dC", "pairs_undefined_dR_dC",
      ["dR", "se dR", "dC", "se dC", "dR/dC", "z dR−dC", "p"]));
    geneBody.appendChild(el("h3", { text: "Nonsynonymous against synonymous" }));
    geneBody.appendChild(meansTable(g, "means-ns", "dN", "se_dN", "dS", "se_dS", "dN_dS", "z_dN_dS", "p_dN_dS", "pairs_undefined_dN_dS",
      ["dN", "se dN", "dS", "se dS", "dN/dS", "z dN−dS", "p"]));
  }

  const withCharts = genes.map((g, k) => k).filter((k) => genes[k].charts);
  const select = el("select", { id: "gene-picker" });
  pickGene = function (k, scroll) {
    if (batch) { picked = k; markPicked(); select.value = genes[k].charts ? String(k) : ""; }
    showGene(k);
    if (scroll) geneSection.scrollIntoView({ block: "start" });
  };
  if (batch) {
    picker.appendChild(document.createTextNode("Gene with charts: "));
    for (const k of withCharts) select.appendChild(el("option", { value: String(k), text: genes[k].gene }));
    select.addEventListener("change", () => pickGene(Number(select.value), false));
    picker.appendChild(select);
  }
  if (genes.length) pickGene(withCharts.length ? withCharts[0] : 0, false);
  else showGene(-1);
  fillGenes();

  body.dataset.renderMs = String(Math.round(performance.now() - started));
  body.dataset.status = "ready";
})();

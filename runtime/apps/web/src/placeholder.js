// Shows that the page is served by a live server: its health and, on the
// output page, the size and layout it was opened with.
(async () => {
  const out = document.getElementById('status');
  const params = new URLSearchParams(location.search);
  const lines = [];
  if (document.body.dataset.page === 'output') {
    lines.push(`size ${params.get('w') ?? '?'} × ${params.get('h') ?? '?'}, layout ${params.get('layout') ?? 'default'}`);
  }
  try {
    const h = await (await fetch('/api/health')).json();
    lines.push(`server ${h.serverName ?? ''} · runtime ${h.runtimeVersion ?? 'unknown'} · ${h.translationLabel ?? 'no Bible'} · theme ${h.themeId}`);
  } catch (err) {
    lines.push(`health check failed: ${err.message}`);
  }
  out.textContent = lines.join('\n');
})();

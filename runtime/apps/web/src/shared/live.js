// The one WebSocket every page holds to the server. It reconnects by itself
// (quickly at first, then every few seconds) and treats a connection that has
// gone silent as lost: a tablet that walks out of Wi-Fi range gets no close
// event, only silence. The server sends the current state on every (re)connect,
// so nothing has to be fetched again to catch up.

const BACKOFF_MS = [250, 500, 1000, 2000, 3000, 5000];

export class LiveConnection {
  /**
   * @param {object} o
   * @param {'output'|'monitor'|'control'} o.role
   * @param {(state: object) => void} o.onState
   * @param {(name: string) => void} [o.onData]    a data document changed
   * @param {(status: 'connecting'|'connected'|'reconnecting', attempt: number) => void} [o.onStatus]
   */
  constructor({ role, onState, onData = () => {}, onStatus = () => {} }) {
    this.role = role;
    this.onState = onState;
    this.onData = onData;
    this.onStatus = onStatus;
    this.ws = null;
    this.attempt = 0;
    this.heartbeatMs = 10000;
    this.lastHeard = 0;
    this.retryTimer = null;
    this.status = 'connecting';
    this.everConnected = false;
    // The server's clock minus this device's, from the last hello or heartbeat.
    this.clockOffsetMs = 0;
    setInterval(() => this.watch(), 1000);
    window.addEventListener('online', () => this.reconnectNow());
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'visible') this.watch();
    });
  }

  url() {
    const proto = location.protocol === 'https:' ? 'wss:' : 'ws:';
    return `${proto}//${location.host}/ws?role=${encodeURIComponent(this.role)}`;
  }

  start() {
    this.open();
    return this;
  }

  setStatus(status) {
    if (this.status === status && status !== 'reconnecting') return;
    this.status = status;
    this.onStatus(status, this.attempt);
  }

  open() {
    clearTimeout(this.retryTimer);
    this.retryTimer = null;
    let ws;
    try {
      ws = new WebSocket(this.url());
    } catch {
      this.lost();
      return;
    }
    this.ws = ws;
    this.lastHeard = Date.now();
    ws.onopen = () => {
      if (this.ws !== ws) return;
      this.attempt = 0;
      this.everConnected = true;
      this.lastHeard = Date.now();
      this.setStatus('connected');
    };
    ws.onmessage = (ev) => {
      if (this.ws !== ws) return;
      this.lastHeard = Date.now();
      let msg;
      try {
        msg = JSON.parse(ev.data);
      } catch {
        return;
      }
      if (Number.isFinite(msg.now)) this.clockOffsetMs = msg.now - Date.now();
      if (msg.type === 'hello' && Number.isFinite(msg.heartbeatMs)) this.heartbeatMs = msg.heartbeatMs;
      else if (msg.type === 'state') this.onState(msg.state);
      else if (msg.type === 'data') this.onData(msg.name);
    };
    ws.onclose = () => {
      if (this.ws === ws) this.lost();
    };
    ws.onerror = () => {
      /* onclose follows */
    };
  }

  /** Drops the current socket (if any) and schedules the next attempt. */
  lost() {
    const old = this.ws;
    this.ws = null;
    if (old) {
      old.onopen = old.onmessage = old.onclose = old.onerror = null;
      try {
        old.close();
      } catch {
        /* already closed */
      }
    }
    this.setStatus(this.everConnected ? 'reconnecting' : 'connecting');
    const delay = BACKOFF_MS[Math.min(this.attempt, BACKOFF_MS.length - 1)];
    this.attempt++;
    clearTimeout(this.retryTimer);
    this.retryTimer = setTimeout(() => this.open(), delay);
  }

  /** The time on the server's clock, in ms since the epoch. */
  serverNow() {
    return Date.now() + this.clockOffsetMs;
  }

  reconnectNow() {
    if (this.ws && this.ws.readyState === WebSocket.OPEN) return;
    this.attempt = 0;
    if (this.ws) this.lost();
    else this.open();
  }

  /** A connection silent for longer than two and a half heartbeats is dead. */
  watch() {
    const ws = this.ws;
    if (!ws) return;
    const silentFor = Date.now() - this.lastHeard;
    const limit = this.heartbeatMs * 2.5 + 1000;
    if (ws.readyState === WebSocket.OPEN && silentFor > limit) this.lost();
    // A connection attempt that hangs (the server is unreachable, not refusing)
    else if (ws.readyState === WebSocket.CONNECTING && silentFor > 5000) this.lost();
  }
}

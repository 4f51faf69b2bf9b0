// JSON requests to the server. A failure becomes an Error whose message is
// the server's own plain sentence ("Nothing is in preview"), or a sentence
// about the network when no answer came.

export class ApiError extends Error {
  constructor(message, status) {
    super(message);
    this.status = status;
  }
}

export async function request(method, path, body) {
  const init = { method, headers: {} };
  if (body !== undefined) {
    init.body = JSON.stringify(body);
    init.headers['content-type'] = 'application/json';
  }
  let res;
  try {
    res = await fetch(path, init);
  } catch {
    throw new ApiError('The server cannot be reached. Check the network and that the server is running.', 0);
  }
  const text = await res.text();
  let json;
  try {
    json = text ? JSON.parse(text) : undefined;
  } catch {
    json = undefined;
  }
  if (!res.ok) {
    const message = json && typeof json.message === 'string' ? json.message : `The server answered ${res.status}.`;
    throw new ApiError(message, res.status);
  }
  return json;
}

export const get = (path) => request('GET', path);
export const put = (path, body) => request('PUT', path, body);
export const post = (path, body = {}) => request('POST', path, body);
export const del = (path) => request('DELETE', path);

// The client's side of the language server protocol, for the tools: a
// server started as a program and spoken to over its standard streams, in
// messages framed by Content-Length.
'use strict';
const {spawn} = require('child_process');

// Starts the server (its standard error passed through) and yields
// {server, send}: send writes a message, with its jsonrpc added, and
// onMessage gets each whole message that the server writes.
function startServer(command, args, options, onMessage) {
  const server = spawn(command, args, {...options, stdio: ['pipe', 'pipe', 'inherit']});
  const send = message => {
    const body = Buffer.from(JSON.stringify(Object.assign({jsonrpc: '2.0'}, message)));
    server.stdin.write(`Content-Length: ${body.length}\r\n\r\n`);
    server.stdin.write(body);
  };
  let buffer = Buffer.alloc(0);
  server.stdout.on('data', chunk => {
    buffer = Buffer.concat([buffer, chunk]);
    for (;;) {
      const end = buffer.indexOf('\r\n\r\n');
      if (end < 0) return;
      const length = Number(/Content-Length: (\d+)/i.exec(buffer.slice(0, end).toString())[1]);
      if (buffer.length < end + 4 + length) return;
      const message = JSON.parse(buffer.slice(end + 4, end + 4 + length).toString());
      buffer = buffer.slice(end + 4 + length);
      onMessage(message);
    }
  });
  return {server, send};
}

module.exports = {startServer};

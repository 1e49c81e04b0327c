Content-Length: 202

{"jsonrpc":"2.0","id":1,"method":"initialize","params":{"capabilities":{"general":{"positionEncodings":["utf-16"]}},"initializationOptions":{"quorlan":{"codePage":1252,"drive":"D","checkFiles":false}}}}Content-Length: 234

{"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":"untitled:Quorlan.ini","languageId":"quorlan","version":1,"text":"Demo Disc, so\r\n{\r\n  Setup, %:\\docs\\\r\n  Notes, \"%:\\My Docs\\\" /q\r\n}\r\n"}}}Content-Length: 153

{"jsonrpc":"2.0","id":2,"method":"textDocument/completion","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"position":{"line":0,"character":13}}}Content-Length: 153

{"jsonrpc":"2.0","id":3,"method":"textDocument/completion","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"position":{"line":2,"character":17}}}Content-Length: 152

{"jsonrpc":"2.0","id":4,"method":"textDocument/completion","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"position":{"line":3,"character":9}}}Content-Length: 153

{"jsonrpc":"2.0","id":5,"method":"textDocument/completion","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"position":{"line":3,"character":20}}}Content-Length: 152

{"jsonrpc":"2.0","id":6,"method":"textDocument/completion","params":{"textDocument":{"uri":"untitled:Quorlan.ini"},"position":{"line":1,"character":0}}}Content-Length: 44

{"jsonrpc":"2.0","id":9,"method":"shutdown"}Content-Length: 33

{"jsonrpc":"2.0","method":"exit"}
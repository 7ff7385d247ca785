// The smallest MCP server the official TypeScript SDK makes: no tools, just
// the protocol over standard input and output. The benchmark times its start
// beside ours, as the one a user would otherwise most likely pick.
import { McpServer } from "@modelcontextprotocol/sdk/server/mcp.js";
import { StdioServerTransport } from "@modelcontextprotocol/sdk/server/stdio.js";

const server = new McpServer({ name: "sdk-floor", version: "1.0.0" });
await server.connect(new StdioServerTransport());

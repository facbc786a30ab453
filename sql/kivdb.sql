-- kivdb.dat
--
-- KIV internal file used for inserting data into MS SQL Server database
-- DO NOT MODIFY
-- $$$tmpfolder$$$ for temporary folder
-- $$$loginuser$$$ for login user
-- $$$database$$$ for database name
-- $$$maxhours$$$ for the expire hours of a computer
-- $$$indexdata$$$ for index data
-- '--#-' for define the start of a task
--
-- Every task below is sent to the server as one batch. A CREATE PROCEDURE has
-- to stand alone in its batch, so each procedure has a task of its own.
-- The live tables are replaced only by the task "switching to new database";
-- every task before it works on zz and the temp_ tables. That task begins one
-- transaction that replaces the live tables and drops the stored procedures;
-- the procedure tasks after it create them again inside it, and the task
-- "DONT-commit switch" commits it. The runner sends these tasks on one
-- connection, so the live catalog is never without its procedures: a run that
-- dies before the commit leaves the old catalog whole.
--#-start indexing...
use [$$$database$$$]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[zz]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[zz]
CREATE TABLE [dbo].[zz] (
	[Col001] [varchar] (255) NULL ,
	[Col002] [varchar] (255) NULL ,
	[Col003] [varchar] (255) NULL ,
	[Col004] [varchar] (255) NULL ,
	[Col005] [varchar] (255) NULL ,
	[Col006] [varchar] (255) NULL
) ON [PRIMARY]
--#-inserting data into database
-- the index file is loaded into zz by the update runner at this task
--#-DONT-lalala
if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[shares1]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
CREATE TABLE [dbo].[shares1] (
	[name] [varchar] (255) NULL ,
	[data] [datetime] NULL
) ON [PRIMARY]
CREATE CLUSTERED INDEX [i_shares1_name] ON [dbo].[shares1]([name]) ON [PRIMARY]
end
if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat_categories]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
CREATE TABLE [dbo].[stat_categories] (
	[id] [int] IDENTITY (1, 1) NOT NULL ,
	[attr] [varchar] (255) NULL ,
	[value] [varchar] (255) NULL
) ON [PRIMARY]
CREATE INDEX [i_id] ON [dbo].[stat_categories]([id]) ON [PRIMARY]
CREATE INDEX [i_attr] ON [dbo].[stat_categories]([attr]) ON [PRIMARY]
CREATE INDEX [i_value] ON [dbo].[stat_categories]([value]) ON [PRIMARY]
end
if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[quick_links]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
CREATE TABLE [dbo].[quick_links] (
	[id] [int] IDENTITY (1, 1) NOT NULL ,
	[word] [varchar] (255) NULL ,
	[display] [varchar] (255) NULL ,
	[link] [varchar] (255) NULL
) ON [PRIMARY]
CREATE INDEX [i_word] ON [dbo].[quick_links]([word]) ON [PRIMARY]
CREATE INDEX [i_display] ON [dbo].[quick_links]([display]) ON [PRIMARY]
CREATE INDEX [i_link] ON [dbo].[quick_links]([link]) ON [PRIMARY]
insert into quick_links (word, display, link) values ('help', 'How to search: frequently asked questions', '/scripts/KIVQuery.so?Command?page=faq')
insert into quick_links (word, display, link) values ('faq', 'How to search: frequently asked questions', '/scripts/KIVQuery.so?Command?page=faq')
insert into quick_links (word, display, link) values ('browse', 'Browse the network: computers, shares and folders', '/scripts/KIVQuery.so?Command?stats=browse')
insert into quick_links (word, display, link) values ('statistics', 'Statistics of the catalog and of the searches', '/scripts/KIVQuery.so?Command?stats=yes')
insert into quick_links (word, display, link) values ('categories', 'File categories: counts, sizes and top shares', '/scripts/KIVQuery.so?Command?stats=yes&path=categories')
end
if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat_last_queries]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
CREATE TABLE [dbo].[stat_last_queries] (
	[query_data] [varchar] (50) NULL ,
	[query_id] [varchar] (20) NULL ,
	[data_db] [datetime] NULL ,
	[stringu] [varchar] (255) NULL ,
	[query_status] [int] NULL
) ON [PRIMARY]
CREATE INDEX [i_query_status] ON [dbo].[stat_last_queries]([query_status]) ON [PRIMARY]
CREATE INDEX [i_data_db] ON [dbo].[stat_last_queries]([data_db]) ON [PRIMARY]
CREATE INDEX [i_query_id] ON [dbo].[stat_last_queries]([query_id]) ON [PRIMARY]
CREATE INDEX [i_query_data] ON [dbo].[stat_last_queries]([query_data]) ON [PRIMARY]
end
if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[aall]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
CREATE TABLE [dbo].[aall] (
	[id] [int] IDENTITY (1, 1) NOT NULL ,
	[s1] [varchar] (255) NULL ,
	[s2] [varchar] (255) NULL ,
	[d1] [varchar] (255) NULL ,
	[d2] [varchar] (255) NULL ,
	[fn] [varchar] (255) NULL ,
	[fs] [int] NULL
) ON [PRIMARY]
CREATE CLUSTERED INDEX [i_aall_id] ON [dbo].[aall]([id]) ON [PRIMARY]
end
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[temp_stat_categories]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[temp_stat_categories]
CREATE TABLE [dbo].[temp_stat_categories] (
	[id] [int] IDENTITY (1, 1) NOT NULL ,
	[attr] [varchar] (255) NULL ,
	[value] [varchar] (255) NULL
) ON [PRIMARY]
CREATE INDEX [i_id] ON [dbo].[temp_stat_categories]([id]) ON [PRIMARY]
CREATE INDEX [i_attr] ON [dbo].[temp_stat_categories]([attr]) ON [PRIMARY]
CREATE INDEX [i_value] ON [dbo].[temp_stat_categories]([value]) ON [PRIMARY]
--#-creating shares table
declare @indexdata datetime
set @indexdata = convert(datetime, '$$$indexdata$$$')
if @indexdata = convert(datetime, '5000')
	set @indexdata = getdate()
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[temp_shares1]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[temp_shares1]
CREATE TABLE [dbo].[temp_shares1] (
	[name] [varchar] (255) NULL ,
	[data] [datetime] NULL
) ON [PRIMARY]
CREATE CLUSTERED INDEX [i_shares1_name] ON [dbo].[temp_shares1]([name]) ON [PRIMARY]
insert into temp_shares1 (name, data)
	select distinct Col001, @indexdata from zz order by Col001
-- computers found by an earlier scan, recently enough, but not by this one:
-- they keep their row and their scan time, and their files are carried over
select name, data into #tmpshares from shares1
	where data > dateadd(hour, -$$$maxhours$$$, @indexdata)
	and not exists (select * from zz where zz.Col001 = shares1.name)
CREATE CLUSTERED INDEX [i_tmpshares_name] ON #tmpshares([name])
insert into temp_shares1 (name, data) select name, data from #tmpshares order by name
if exists (select * from #tmpshares)
	and exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[constants]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
	declare @old_f_start int, @old_f_stop int
	set @old_f_start = convert(int, (select top 1 val from constants where name='f_start'))
	set @old_f_stop = convert(int, (select top 1 val from constants where name='f_stop'))
	insert into zz (Col001, Col002, Col003, Col004, Col005, Col006)
		select aall.s1, aall.s2, aall.d1, aall.d2, aall.fn, convert(varchar(255), aall.fs)
		from aall inner join #tmpshares on aall.s1 = #tmpshares.name
		where aall.id between @old_f_start and @old_f_stop
end
drop table #tmpshares
--#-DONT-temp aall
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[temp_aall]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[temp_aall]
CREATE TABLE [dbo].[temp_aall] (
	[id] [int] IDENTITY (1, 1) NOT NULL ,
	[s1] [varchar] (255) NULL ,
	[s2] [varchar] (255) NULL ,
	[d1] [varchar] (255) NULL ,
	[d2] [varchar] (255) NULL ,
	[fn] [varchar] (255) NULL ,
	[fs] [int] NULL
) ON [PRIMARY]
--#-DONT-inserting categories
-- the update runner adds one flag column per category to temp_aall at this task
--#-extracting shares
insert into temp_aall (s1, s2, d1, d2, fn, fs)
	select distinct Col001, Col002, '', '', '', 0 from zz
	order by Col002, Col001
--#-extracting directories
insert into temp_aall (s1, s2, d1, d2, fn, fs)
	select distinct Col001, Col002, Col003, Col004, '', 0 from zz
	where Col003 <> '' or Col004 <> ''
	order by Col004, Col003, Col002, Col001
--#-extracting files
insert into temp_aall (s1, s2, d1, d2, fn, fs)
	select distinct Col001, Col002, Col003, Col004, Col005, convert(int, Col006) from zz
	where Col005 <> '*'
	order by Col005, Col004, Col003, Col002, Col001
--#-cleaning up
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[zz]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[zz]
dbcc shrinkdatabase ([$$$database$$$])
--#-clustered index on main table
CREATE CLUSTERED INDEX [i_aall_id] ON [dbo].[temp_aall]([id]) ON [PRIMARY]
--#-create index on shares
CREATE INDEX [i_aall_s1] ON [dbo].[temp_aall]([s1]) ON [PRIMARY]
CREATE INDEX [i_aall_s2] ON [dbo].[temp_aall]([s2]) ON [PRIMARY]
--#-create index on directories
CREATE INDEX [i_aall_d1] ON [dbo].[temp_aall]([d1]) ON [PRIMARY]
CREATE INDEX [i_aall_d2] ON [dbo].[temp_aall]([d2]) ON [PRIMARY]
--#-create index on files
CREATE INDEX [i_aall_fn] ON [dbo].[temp_aall]([fn]) ON [PRIMARY]
CREATE INDEX [i_aall_fs] ON [dbo].[temp_aall]([fs]) ON [PRIMARY]
--#-updating categories
-- the update runner sets the category flags and their statistics at this task
--#-DONT-temp constants
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[temp_constants]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[temp_constants]
CREATE TABLE [dbo].[temp_constants] (
	[name] [varchar] (255) NULL ,
	[val] [varchar] (255) NULL
) ON [PRIMARY]
CREATE CLUSTERED INDEX [i_constants_name] ON [dbo].[temp_constants]([name]) ON [PRIMARY]
-- shares, then folders, then files. A kind without rows gets an empty range
-- that starts where the next kind starts, so that every count stays right
-- (an empty table gives 0, -1, 0, -1, 0, -1).
declare @s_start int, @d_start int, @f_start int, @f_stop int
select @s_start = isnull(min(id), 0) from temp_aall
select @f_stop = isnull(max(id), -1) from temp_aall
select @f_start = min(id) from temp_aall where fn <> ''
if @f_start is null
	set @f_start = @f_stop + 1
select @d_start = min(id) from temp_aall where (d1 <> '' or d2 <> '') and fn = ''
if @d_start is null
	set @d_start = @f_start
insert into temp_constants (name, val) values ('s_start', convert(varchar(255), @s_start))
insert into temp_constants (name, val) values ('s_stop', convert(varchar(255), @d_start - 1))
insert into temp_constants (name, val) values ('d_start', convert(varchar(255), @d_start))
insert into temp_constants (name, val) values ('d_stop', convert(varchar(255), @f_start - 1))
insert into temp_constants (name, val) values ('f_start', convert(varchar(255), @f_start))
insert into temp_constants (name, val) values ('f_stop', convert(varchar(255), @f_stop))
--#-DONT-monitor pings
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[temp_monitor_pings]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[temp_monitor_pings]
CREATE TABLE [dbo].[temp_monitor_pings] (
	[name] [varchar] (255) NULL ,
	[status] [int] NULL ,
	[ping_time] [varchar] (100) NULL
) ON [PRIMARY]
CREATE CLUSTERED INDEX [i_monitor_pings_name] ON [dbo].[temp_monitor_pings]([name]) ON [PRIMARY]
--#-checking logs tables
if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat_access]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
CREATE TABLE [dbo].[stat_access] (
	[data] [datetime] NOT NULL ,
	[counter] [int] NOT NULL ,
	[ip_ul] [varchar] (50) NULL
) ON [PRIMARY]
CREATE CLUSTERED INDEX [stat_access_index1] ON [dbo].[stat_access]([data]) ON [PRIMARY]
CREATE INDEX [stat_access_index2] ON [dbo].[stat_access]([counter]) ON [PRIMARY]
CREATE INDEX [stat_access_index3] ON [dbo].[stat_access]([ip_ul]) ON [PRIMARY]
end
if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat_access_failure]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
CREATE TABLE [dbo].[stat_access_failure] (
	[data] [datetime] NOT NULL ,
	[ip_ul] [varchar] (50) NULL ,
	[status] [int] NULL
) ON [PRIMARY]
CREATE CLUSTERED INDEX [stat_access_failure_index1] ON [dbo].[stat_access_failure]([data]) ON [PRIMARY]
CREATE INDEX [stat_access_failure_index2] ON [dbo].[stat_access_failure]([ip_ul]) ON [PRIMARY]
CREATE INDEX [stat_access_failure_index3] ON [dbo].[stat_access_failure]([status]) ON [PRIMARY]
end
if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat_ping]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
CREATE TABLE [dbo].[stat_ping] (
	[data] [datetime] NOT NULL ,
	[ip_sursa] [varchar] (50) NULL ,
	[status] [int] NULL ,
	[is_destinatie] [varchar] (50) NULL
) ON [PRIMARY]
CREATE CLUSTERED INDEX [stat_ping_index1] ON [dbo].[stat_ping]([data]) ON [PRIMARY]
CREATE INDEX [stat_ping_index2] ON [dbo].[stat_ping]([ip_sursa]) ON [PRIMARY]
CREATE INDEX [stat_ping_index3] ON [dbo].[stat_ping]([status]) ON [PRIMARY]
CREATE INDEX [stat_ping_index4] ON [dbo].[stat_ping]([is_destinatie]) ON [PRIMARY]
end
if not exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat_searchs]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
begin
CREATE TABLE [dbo].[stat_searchs] (
	[data] [datetime] NOT NULL ,
	[stringu] [varchar] (255) NULL ,
	[de_la_cat] [decimal](18, 0) NOT NULL ,
	[cate_a_intors] [decimal](18, 0) NOT NULL ,
	[cate_pe_pagina] [decimal](18, 0) NOT NULL ,
	[ip_ul] [varchar] (50) NULL ,
	[in_shareuri] [tinyint] NOT NULL ,
	[in_directoare] [tinyint] NOT NULL ,
	[in_fisiere] [tinyint] NOT NULL ,
	[size_min] [int] NOT NULL ,
	[size_max] [int] NOT NULL ,
	[durata] [int] NOT NULL ,
	[sursa] [tinyint] NOT NULL
) ON [PRIMARY]
CREATE CLUSTERED INDEX [stat_searchs_index1] ON [dbo].[stat_searchs]([data]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index2] ON [dbo].[stat_searchs]([stringu]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index3] ON [dbo].[stat_searchs]([de_la_cat]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index4] ON [dbo].[stat_searchs]([cate_a_intors]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index5] ON [dbo].[stat_searchs]([cate_pe_pagina]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index6] ON [dbo].[stat_searchs]([ip_ul]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index7] ON [dbo].[stat_searchs]([in_shareuri]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index8] ON [dbo].[stat_searchs]([in_directoare]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index9] ON [dbo].[stat_searchs]([in_fisiere]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index10] ON [dbo].[stat_searchs]([size_min]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index11] ON [dbo].[stat_searchs]([size_max]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index12] ON [dbo].[stat_searchs]([durata]) ON [PRIMARY]
CREATE INDEX [stat_searchs_index13] ON [dbo].[stat_searchs]([sursa]) ON [PRIMARY]
end
--#-DONT-preparing stats
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[temp_stat]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[temp_stat]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[temp_stat_topmegi]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[temp_stat_topmegi]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[temp_stat_filesize]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[temp_stat_filesize]
--#-running statistics
declare @indexdata datetime
set @indexdata = convert(datetime, '$$$indexdata$$$')
if @indexdata = convert(datetime, '5000')
	set @indexdata = getdate()
declare @now datetime
set @now = getdate()
declare @s_start int, @s_stop int, @d_start int, @d_stop int, @f_start int, @f_stop int
set @s_start = convert(int, (select top 1 val from temp_constants where name='s_start'))
set @s_stop = convert(int, (select top 1 val from temp_constants where name='s_stop'))
set @d_start = convert(int, (select top 1 val from temp_constants where name='d_start'))
set @d_stop = convert(int, (select top 1 val from temp_constants where name='d_stop'))
set @f_start = convert(int, (select top 1 val from temp_constants where name='f_start'))
set @f_stop = convert(int, (select top 1 val from temp_constants where name='f_stop'))
CREATE TABLE [dbo].[temp_stat] (
	[id] [int] IDENTITY (1, 1) NOT NULL ,
	[property] [varchar] (255) NULL ,
	[value] [varchar] (255) NULL
) ON [PRIMARY]
CREATE TABLE [dbo].[temp_stat_topmegi] (
	[nume] [varchar] (255) NULL ,
	[catefile] [int] NULL ,
	-- KB: a computer may share more than 2^31 KB
	[catimegi] [bigint] NULL ,
	[lastscan] [varchar] (20) NULL
) ON [PRIMARY]
CREATE TABLE [dbo].[temp_stat_filesize] (
	[id] [int] IDENTITY (1, 1) NOT NULL ,
	[t] [varchar] (50) NULL ,
	[s] [int] NULL
) ON [PRIMARY]
insert into temp_stat (property, value)
	select 'total files size:', convert(varchar(255), isnull(sum(convert(bigint, fs)), 0)) from temp_aall
insert into temp_stat (property, value)
	select 'computers number:', convert(varchar(255), count(*)) from temp_shares1
insert into temp_stat (property, value) values ('shares number:', convert(varchar(255), 1 + @s_stop - @s_start))
insert into temp_stat (property, value) values ('directories number:', convert(varchar(255), 1 + @d_stop - @d_start))
insert into temp_stat (property, value) values ('files number:', convert(varchar(255), 1 + @f_stop - @f_start))
insert into temp_stat (property, value) values ('last index on:',
	isnull(replace(convert(varchar(20), @indexdata, 106), ' ', '-') + ' at ' + ltrim(lower(right(convert(varchar(30), @indexdata, 0), 7))), 'N/A'))
insert into temp_stat (property, value) values ('database updated on:',
	replace(convert(varchar(20), @now, 106), ' ', '-') + ' at ' + ltrim(lower(right(convert(varchar(30), @now, 0), 7))))
insert into temp_stat (property, value)
	select 'computers at last index:', convert(varchar(255), count(*)) from temp_shares1
	where data = (select max(data) from temp_shares1)
insert into temp_stat_topmegi (nume, catefile, catimegi, lastscan)
	select temp_shares1.name, count(*), sum(convert(bigint, temp_aall.fs)), convert(varchar(20), temp_shares1.data, 105)
	from temp_aall inner join temp_shares1 on temp_aall.s1 = temp_shares1.name
	where temp_aall.id between @f_start and @f_stop
	group by temp_shares1.name, temp_shares1.data
	order by sum(convert(bigint, temp_aall.fs)) desc, temp_shares1.name
insert into temp_stat_filesize (t, s) select '&nbsp;under&nbsp;1k&nbsp;&nbsp;', count(*) from temp_aall
	where id between @f_start and @f_stop and fs < 1
insert into temp_stat_filesize (t, s) select '&nbsp;&nbsp;1k&nbsp;-&nbsp;10k&nbsp;', count(*) from temp_aall
	where id between @f_start and @f_stop and fs >= 1 and fs < 10
insert into temp_stat_filesize (t, s) select '&nbsp;10k&nbsp;-&nbsp;100k', count(*) from temp_aall
	where id between @f_start and @f_stop and fs >= 10 and fs < 100
insert into temp_stat_filesize (t, s) select '100k&nbsp;-&nbsp;1M&nbsp;&nbsp;', count(*) from temp_aall
	where id between @f_start and @f_stop and fs >= 100 and fs < 1024
insert into temp_stat_filesize (t, s) select '&nbsp;&nbsp;1M&nbsp;-&nbsp;10M&nbsp;', count(*) from temp_aall
	where id between @f_start and @f_stop and fs >= 1024 and fs < 10240
insert into temp_stat_filesize (t, s) select '&nbsp;10M&nbsp;-&nbsp;100M', count(*) from temp_aall
	where id between @f_start and @f_stop and fs >= 10240 and fs < 102400
insert into temp_stat_filesize (t, s) select '100M&nbsp;-&nbsp;1G&nbsp;&nbsp;', count(*) from temp_aall
	where id between @f_start and @f_stop and fs >= 102400 and fs < 1048576
insert into temp_stat_filesize (t, s) select '&nbsp;&nbsp;over&nbsp;1G&nbsp;&nbsp;', count(*) from temp_aall
	where id between @f_start and @f_stop and fs >= 1048576
--#-locking database
-- the update runner marks the web search as updating at this task
--#-switching to new database
BEGIN TRAN
-- the live tables are locked together before any is dropped, in the order
-- the searches read them: a server whose readers hold table locks waits
-- for the searches running, and none of them is deadlocked with the swap
declare @lock varchar(1000)
set @lock = ''
if object_id(N'[dbo].[constants]') is not null set @lock = @lock + ', constants with (tablockx, holdlock)'
if object_id(N'[dbo].[aall]') is not null set @lock = @lock + ', aall with (tablockx, holdlock)'
if object_id(N'[dbo].[shares1]') is not null set @lock = @lock + ', shares1 with (tablockx, holdlock)'
if object_id(N'[dbo].[monitor_pings]') is not null set @lock = @lock + ', monitor_pings with (tablockx, holdlock)'
if object_id(N'[dbo].[stat]') is not null set @lock = @lock + ', stat with (tablockx, holdlock)'
if object_id(N'[dbo].[stat_topmegi]') is not null set @lock = @lock + ', stat_topmegi with (tablockx, holdlock)'
if object_id(N'[dbo].[stat_filesize]') is not null set @lock = @lock + ', stat_filesize with (tablockx, holdlock)'
if object_id(N'[dbo].[stat_categories]') is not null set @lock = @lock + ', stat_categories with (tablockx, holdlock)'
if @lock <> ''
exec ('select top 0 1 as locked from ' + substring(@lock, 3, 1000))
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[aall]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[aall]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[shares1]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[shares1]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[constants]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[constants]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[monitor_pings]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[monitor_pings]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[stat]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat_topmegi]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[stat_topmegi]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat_filesize]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[stat_filesize]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[stat_categories]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[stat_categories]
exec sp_rename 'temp_aall', 'aall'
exec sp_rename 'temp_shares1', 'shares1'
exec sp_rename 'temp_constants', 'constants'
exec sp_rename 'temp_monitor_pings', 'monitor_pings'
exec sp_rename 'temp_stat', 'stat'
exec sp_rename 'temp_stat_topmegi', 'stat_topmegi'
exec sp_rename 'temp_stat_filesize', 'stat_filesize'
exec sp_rename 'temp_stat_categories', 'stat_categories'
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[spStatCharts]') and OBJECTPROPERTY(id, N'IsProcedure') = 1)
drop procedure [dbo].[spStatCharts]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[spSearch]') and OBJECTPROPERTY(id, N'IsProcedure') = 1)
drop procedure [dbo].[spSearch]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[spDir]') and OBJECTPROPERTY(id, N'IsProcedure') = 1)
drop procedure [dbo].[spDir]
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[spGetFullPathFileFromID]') and OBJECTPROPERTY(id, N'IsProcedure') = 1)
drop procedure [dbo].[spGetFullPathFileFromID]
--#-reinsert stored procedures
-- the procedures were dropped in the swap's transaction above; the next tasks
-- create them again in that transaction
--#-DONT-spStatCharts
CREATE PROCEDURE spStatCharts
	@range decimal,
	@dataacu datetime
AS
set nocount on
-- the window: 25 hours (1), 8 days (2) or 13 months (3), ending at the
-- whole hour, the midnight or the first of the month of @dataacu
declare @end datetime, @begin datetime
if @range = 1
begin
	set @end = convert(datetime, convert(varchar(13), @dataacu, 120) + ':00:00', 120)
	set @begin = dateadd(hour, -1, dateadd(day, -1, @end))
end
else if @range = 2
begin
	set @end = convert(datetime, convert(varchar(10), @dataacu, 120), 120)
	set @begin = dateadd(day, -8, @end)
end
else
begin
	set @end = convert(datetime, convert(varchar(7), @dataacu, 120) + '-01', 120)
	set @begin = dateadd(month, -1, dateadd(year, -1, @end))
end
create table #t (
	cauntar decimal, intu decimal, data datetime,
	ping_1 decimal, ping_2 decimal, searchs_1 decimal, searchs_2 decimal, access decimal,
	searchs_time decimal, results_requested decimal, results decimal,
	access_failure_1 decimal, access_failure_2 decimal)
declare @slot datetime, @next datetime, @cauntar int, @intu int
set @slot = @begin
set @cauntar = 1
while @slot < @end
begin
	if @range = 1
	begin
		set @next = dateadd(hour, 1, @slot)
		set @intu = datepart(hour, @next)
	end
	else if @range = 2
	begin
		set @next = dateadd(day, 1, @slot)
		set @intu = datepart(weekday, @slot) - 1
	end
	else
	begin
		set @next = dateadd(month, 1, @slot)
		set @intu = datepart(month, @slot) - 1
	end
	insert into #t (cauntar, intu, data, ping_1, ping_2, searchs_1, searchs_2, access,
		searchs_time, results_requested, results, access_failure_1, access_failure_2)
	select @cauntar, @intu, @slot,
		(select count(*) from stat_ping where data >= @slot and data < @next and status = 1),
		(select count(*) from stat_ping where data >= @slot and data < @next and status = 2),
		(select count(*) from stat_searchs where data >= @slot and data < @next and sursa = 1),
		(select count(*) from stat_searchs where data >= @slot and data < @next and sursa = 2),
		(select count(*) from stat_access where data >= @slot and data < @next),
		(select isnull(sum(durata), 0) from stat_searchs where data >= @slot and data < @next),
		(select isnull(sum(cate_pe_pagina), 0) from stat_searchs where data >= @slot and data < @next),
		(select isnull(sum(cate_a_intors), 0) from stat_searchs where data >= @slot and data < @next),
		(select count(*) from stat_access_failure where data >= @slot and data < @next and status = 1),
		(select count(*) from stat_access_failure where data >= @slot and data < @next and status = 2)
	set @slot = @next
	set @cauntar = @cauntar + 1
end
-- the first slot is only a partial one: it is left out of both summaries
insert into #t (cauntar, intu, data, ping_1, ping_2, searchs_1, searchs_2, access,
	searchs_time, results_requested, results, access_failure_1, access_failure_2)
select -1, -1, @dataacu,
	sum(ping_1), sum(ping_2), sum(searchs_1), sum(searchs_2), sum(access),
	sum(searchs_time), sum(results_requested), sum(results),
	sum(access_failure_1), sum(access_failure_2)
from #t where cauntar > 1
insert into #t (cauntar, intu, data, ping_1, ping_2, searchs_1, searchs_2, access,
	searchs_time, results_requested, results, access_failure_1, access_failure_2)
select -1, -1, @dataacu,
	convert(decimal, avg(convert(float, ping_1) * 100)),
	convert(decimal, avg(convert(float, ping_2) * 100)),
	convert(decimal, avg(convert(float, searchs_1) * 100)),
	convert(decimal, avg(convert(float, searchs_2) * 100)),
	convert(decimal, avg(convert(float, access) * 100)),
	convert(decimal, avg(convert(float, searchs_time) * 100)),
	convert(decimal, avg(convert(float, results_requested) * 100)),
	convert(decimal, avg(convert(float, results) * 100)),
	convert(decimal, avg(convert(float, access_failure_1) * 100)),
	convert(decimal, avg(convert(float, access_failure_2) * 100))
from #t where cauntar > 1
select * from #t
--#-DONT-spSearch
CREATE PROCEDURE spSearch
	@start varchar(50),
	@stop varchar(50),
	@min_file varchar(50),
	@max_file varchar(50),
	@opt1 int,
	@opt2 int,
	@opt3 int,
	@qu_1 varchar(2000),
	@qu_2 varchar(2000),
	@qu_3 varchar(2000),
	@automatic_ping varchar(5),
	@stringu varchar(200),
	@query_data varchar(50),
	@query_id varchar(20),
	@s_categ varchar(50),
	-- 0: the search writes no row of its own (the site searches so when
	-- those rows cannot be written, a full disk say: the catalog is only read)
	@log_query int = 1
AS
set nocount on
declare @now datetime
set @now = getdate()

if @log_query = 1
begin
	begin tran
	insert into stat_last_queries with(tablockx) (query_data, query_id, data_db, stringu, query_status)
		values (@query_data, @query_id, @now, @stringu, 1)
	delete from stat_last_queries with(tablockx)
		where query_status = 1 and data_db < dateadd(minute, -10, @now)
	delete from stat_last_queries with(tablockx)
		where query_id not in (select top 15 query_id from stat_last_queries order by query_data desc)
	commit tran
end

-- the page bounds and the size bounds are numbers: they are converted before
-- they reach the statement text, so that nothing but a number lands there
declare @first int, @last int, @min int, @max int
set @first = convert(int, @start)
set @last = convert(int, @stop)
set @min = convert(int, @min_file)
set @max = convert(int, @max_file)

declare @ping varchar(200)
set @ping = ''
if @automatic_ping = '1'
	set @ping = 'inner join monitor_pings on (monitor_pings.name = s1) and (monitor_pings.status = 1) '

declare @size varchar(200)
set @size = ''
if @min <> 0 and @max <> 2147483647
	set @size = '(fs between ' + convert(varchar(20), @min) + ' and ' + convert(varchar(20), @max) + ')'
else if @max <> 2147483647
	set @size = '(fs <= ' + convert(varchar(20), @max) + ')'
else if @min <> 0
	set @size = '(fs >= ' + convert(varchar(20), @min) + ')'

-- the id ranges and the rows come from one snapshot of the catalog: an
-- update that swaps the catalog meanwhile is not seen (nor waited for)
set transaction isolation level snapshot
begin tran
declare @s_start varchar(255), @s_stop varchar(255), @d_start varchar(255), @d_stop varchar(255), @f_start varchar(255), @f_stop varchar(255)
set @s_start = (select top 1 val from constants where name='s_start')
set @s_stop = (select top 1 val from constants where name='s_stop')
set @d_start = (select top 1 val from constants where name='d_start')
set @d_stop = (select top 1 val from constants where name='d_stop')
set @f_start = (select top 1 val from constants where name='f_start')
set @f_stop = (select top 1 val from constants where name='f_stop')

-- the page is the matches numbered @first to @last - 1 in id order; the
-- matches are numbered before the join with shares1, as the page links are
if @first < 0
	set @first = 0
declare @count int
set @count = @last - @first
if @count < 0
	set @count = 0
declare @sql varchar(8000)
set @sql = 'select s1, s2, d1, d2, fn, fs, shares1.data, id,'
	+ ' isnull(monitor_pings.status, 0) as ping_status,'
	+ ' isnull(monitor_pings.ping_time, ''0,0,0,0,0,0'') as ping_time'
	+ ' from (select s1, s2, d1, d2, fn, fs, convert(int, id) as id from aall ' + @ping + ' where '
if @size <> ''
	set @sql = @sql + @size + ' and (' + @qu_3 + ') '
else if @opt1 = 1 or @opt2 = 1 or @opt3 = 1
begin
	declare @terms varchar(7000)
	set @terms = ''
	if @opt1 = 1
		set @terms = '((id between ' + @s_start + ' and ' + @s_stop + ') and ' + @qu_1 + ')'
	if @opt2 = 1
	begin
		if @terms <> ''
			set @terms = @terms + ' or '
		set @terms = @terms + '((id between ' + @d_start + ' and ' + @d_stop + ') and ' + @qu_2 + ')'
	end
	if @opt3 = 1
	begin
		if @terms <> ''
			set @terms = @terms + ' or '
		set @terms = @terms + '((id between ' + @f_start + ' and ' + @f_stop + ') and ' + @qu_3 + ')'
	end
	set @sql = @sql + ' ( ' + @terms + ' ) '
end
else
	-- nothing to search in: an empty page
	set @sql = @sql + ' (1 = 0) '
set @sql = @sql + @s_categ + ' order by id offset ' + convert(varchar(20), @first)
	+ ' rows fetch next ' + convert(varchar(20), @count) + ' rows only) as page'
	+ ' inner join shares1 on page.s1 = shares1.name'
	+ ' left outer join monitor_pings on monitor_pings.name = page.s1'
	+ ' order by id'
exec (@sql)
commit tran
set transaction isolation level read committed

if @log_query = 1
begin
	begin tran
	update stat_last_queries with(tablockx) set query_status = 2 where query_id = @query_id
	commit tran
end
--#-DONT-spDir
CREATE PROCEDURE spDir
	@sha varchar(255),
	@shadi varchar(255),
	@dir varchar(255)
AS
set nocount on
-- the id ranges and the rows listed come from one snapshot of the catalog
set transaction isolation level snapshot
begin tran
declare @s_start int, @s_stop int, @d_start int, @d_stop int, @f_start int, @f_stop int
set @s_start = convert(int, (select top 1 val from constants where name='s_start'))
set @s_stop = convert(int, (select top 1 val from constants where name='s_stop'))
set @d_start = convert(int, (select top 1 val from constants where name='d_start'))
set @d_stop = convert(int, (select top 1 val from constants where name='d_stop'))
set @f_start = convert(int, (select top 1 val from constants where name='f_start'))
set @f_stop = convert(int, (select top 1 val from constants where name='f_stop'))
if @sha = ''
	select 'd' + substring(name, 3, 255) as tt, 0 as sz, convert(varchar(10), data, 101) as dt
	from shares1 order by lower(name)
else if @shadi = ''
	select 'c' + s2 as tt, 0 as sz, '' as dt
	from aall where s1 = @sha and id between @s_start and @s_stop order by lower(s2)
else
begin
	-- @dir splits at its last '/' into the parent path and the folder name
	declare @parent varchar(255), @name varchar(255), @pos int, @next int
	set @pos = 0
	set @next = charindex('/', @dir)
	while @next > 0
	begin
		set @pos = @next
		set @next = charindex('/', @dir, @pos + 1)
	end
	if @pos = 0
	begin
		set @parent = ''
		set @name = @dir
	end
	else
	begin
		set @parent = left(@dir, @pos - 1)
		set @name = substring(@dir, @pos + 1, 255)
	end
	-- the folder path is matched as it is: its LIKE wildcards are escaped
	declare @dir_pattern varchar(1000)
	set @dir_pattern = replace(replace(replace(@dir, '[', '[[]'), '_', '[_]'), '%', '[%]')
	select tt, sz, dt from (
		select 'a' + d2 as tt, 0 as sz, '' as dt from aall
		where s1 = @sha and s2 = @shadi and d1 like @dir_pattern and d2 <> ''
		and id between @d_start and @d_stop
		union
		select 'b' + fn as tt, fs as sz, '' as dt from aall
		where s1 = @sha and s2 = @shadi and d1 = @parent and d2 = @name
		and id between @f_start and @f_stop
	) as listing order by lower(tt)
end
commit tran
--#-DONT-spGetFullPathFileFromID
CREATE PROCEDURE spGetFullPathFileFromID
	@idul int
AS
set nocount on
select s1 + '/' + s2 + '/' + d1 + '/' + d2 + '/' + fn, fn, s1, s2 from aall where id = @idul
--#-DONT-commit switch
COMMIT TRAN
--#-terminating...
dbcc shrinkdatabase ([$$$database$$$])
--#-DONT-zzzz
if exists (select * from dbo.sysobjects where id = object_id(N'[dbo].[tmp1]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)
drop table [dbo].[tmp1]
CREATE TABLE [dbo].[tmp1] (
	[name] [nvarchar] (20) NULL ,
	[rows] [char] (11) NULL ,
	[reserved] [varchar] (18) NULL ,
	[data] [varchar] (18) NULL ,
	[index_size] [varchar] (18) NULL ,
	[unused] [varchar] (18) NULL
) ON [PRIMARY]
insert into tmp1 exec sp_spaceused 'aall', @updateusage = 'TRUE'
insert into stat (property, value) values ('database server:', upper(@@SERVERNAME))
insert into stat (property, value) select top 1 'data size:', data from tmp1
insert into stat (property, value) select top 1 'index size:', index_size from tmp1
drop table [dbo].[tmp1]
